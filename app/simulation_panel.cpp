#include "app/control_ids.h"
#include "app/panels.h"
#include "framework/dialog.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_slider.h"
#include "framework/ui_static.h"

namespace {
constexpr ArgbColor kTitleColor = 0xFFB2B233;
}  // namespace

void BuildSimulationPanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context) {
  panel.Init(&manager, true);
  panel.SetCallback(callback, context);
  StyleParameterPanel(panel);
  CUIStatic* title = nullptr;
  panel.AddStatic(ID_LABEL, "SIMULATION", 5, 0, 140, 32, false, &title);
  if (title != nullptr) title->SetTextColor(kTitleColor);
  panel.AddButton(ID_EXPORT, "Export", 100, 4, 65, 24);
  panel.AddButton(ID_WEATHER, "Weather", 20, 32, 140, 32);
  CUIComboBox* view = nullptr;
  panel.AddComboBox(ID_VIEW, 20, 68, 140, 22, 0, false, &view);
  if (view != nullptr) {
    view->AddItem("Shaded", nullptr);
    view->AddItem("Dirt", nullptr);
    view->AddItem("Rust", nullptr);
    view->AddItem("Points", nullptr);
  }
  panel.AddStatic(ID_LABEL, "Dirt", 20, 92, 140, 22);
  panel.AddSlider(ID_DIRT_FACTOR, 20, 116, 140, 22, 0, 100, 50);
  panel.AddStatic(ID_LABEL, "Rust", 20, 140, 140, 22);
  panel.AddSlider(ID_RUST_FACTOR, 20, 164, 140, 22, 0, 100, 50);
  // The step slider covers the steps saved so far, none at first.
  panel.AddStatic(ID_STEP_LABEL, "No steps yet", 20, 188, 140, 24);
  CUISlider* step = nullptr;
  panel.AddSlider(ID_STEP, 20, 212, 140, 22, 0, 0, 0, false, &step);
  if (step != nullptr) step->SetEnabled(false);
  // The status line: up to four lines from the top of its place, in the regular font so that
  // more fits on a line.
  CUIStatic* status = nullptr;
  panel.AddStatic(ID_PROGRESS, "", 12, 238, 153, 66, false, &status);
  if (status != nullptr) {
    if (ControlElement* element = status->GetElement(0)) {
      element->font = 0;
      element->textFormat = Platform::DT_LEFT | Platform::DT_TOP;
    }
  }
}
