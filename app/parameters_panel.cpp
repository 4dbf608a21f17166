#include "app/control_ids.h"
#include "app/panels.h"
#include "framework/dialog.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_static.h"

namespace {
constexpr ArgbColor kTitleColor = 0xFFB2B233;
constexpr ArgbColor kPanelShade = 0x33000000;
constexpr int kNumberBoxLeft = 82;
constexpr int kNumberBoxWidth = 78;
}  // namespace

void StyleParameterPanel(Dialog& panel, const char* title, int titleWidth) {
  panel.SetFont(1, "Arial", 14, 700);
  if (ControlElement* element = panel.GetDefaultElement(kControlStatic, 0)) {
    element->font = 1;
    element->textFormat = Platform::DT_LEFT | Platform::DT_VCENTER;
  }
  panel.SetBackgroundColors(kPanelShade, kPanelShade, kPanelShade, kPanelShade);
  CUIStatic* label = nullptr;
  panel.AddStatic(ID_LABEL, title, 5, 0, titleWidth, 32, false, &label);
  if (label != nullptr) label->SetTextColor(kTitleColor);
}

void BuildParametersPanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context) {
  panel.Init(&manager, true);
  panel.SetCallback(callback, context);
  StyleParameterPanel(panel, "PARAMETERS", 100);
  // Beside the title, over the picker it adds to: a model file found in a file browser.
  panel.AddButton(ID_OPEN, "Open", 108, 6, 52, 22);
  CUIComboBox* picker = nullptr;
  panel.AddComboBox(ID_MODEL, 20, 32, 140, 22, 0, false, &picker);
  if (picker != nullptr) picker->SetDropHeight(kComboListHeight);
  // Each box is wide enough for its longest value (Tons/Step's 1000000), its label beside it.
  panel.AddStatic(ID_LABEL, "Density", 12, 56, 68, 22);
  panel.AddEditBox(ID_DENSITY, "Density", kNumberBoxLeft, 56, kNumberBoxWidth, 24);
  panel.AddStatic(ID_LABEL, "Steps", 12, 80, 68, 22);
  panel.AddEditBox(ID_STEPS, "Steps", kNumberBoxLeft, 80, kNumberBoxWidth, 24);
  panel.AddStatic(ID_LABEL, "Tons/Step", 12, 104, 68, 22);
  panel.AddEditBox(ID_TONS_PER_STEP, "", kNumberBoxLeft, 104, kNumberBoxWidth, 24);
}
