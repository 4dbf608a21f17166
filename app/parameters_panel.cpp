#include "app/control_ids.h"
#include "app/gui_events.h"
#include "app/panels.h"
#include "framework/dialog.h"
#include "framework/ui_static.h"

namespace {
constexpr ArgbColor kTitleColor = 0xFFB2B233;
constexpr ArgbColor kPanelShade = 0x33000000;
}  // namespace

void StyleParameterPanel(Dialog& panel) {
  panel.SetFont(1, "Arial", 14, 700);
  if (ControlElement* element = panel.GetDefaultElement(kControlStatic, 0)) {
    element->font = 1;
    element->textFormat = Platform::DT_LEFT | Platform::DT_VCENTER;
  }
  panel.SetBackgroundColors(kPanelShade, kPanelShade, kPanelShade, kPanelShade);
}

void BuildParametersPanel(Dialog& panel, DialogResourceManager& manager) {
  panel.Init(&manager, true);
  panel.SetCallback(OnGuiEvent, nullptr);
  StyleParameterPanel(panel);
  CUIStatic* title = nullptr;
  panel.AddStatic(ID_LABEL, "PARAMETERS", 5, 0, 140, 32, false, &title);
  if (title != nullptr) title->SetTextColor(kTitleColor);
  panel.AddComboBox(ID_MODEL, 20, 32, 140, 22);
  panel.AddStatic(ID_LABEL, "Density", 20, 56, 60, 22);
  panel.AddEditBox(ID_DENSITY, "Density", 80, 56, 60, 24);
  panel.AddStatic(ID_LABEL, "Steps", 20, 80, 60, 22);
  panel.AddEditBox(ID_STEPS, "Steps", 80, 80, 60, 24);
  panel.AddStatic(ID_LABEL, "Tons/Step", 20, 104, 60, 22);
  panel.AddEditBox(ID_TONS_PER_STEP, "", 80, 104, 60, 24);
}
