#include <initializer_list>

#include "app/control_ids.h"
#include "app/panels.h"
#include "framework/dialog.h"
#include "framework/ui_check_box.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_slider.h"
#include "framework/ui_static.h"
#include "viewer/environment_catalog.h"

namespace {

CUIComboBox* AddPicker(Dialog& panel, int id, int x, int y, int width, std::initializer_list<const char*> items) {
  CUIComboBox* picker = nullptr;
  panel.AddComboBox(id, x, y, width, 22, 0, false, &picker);
  if (picker == nullptr) return nullptr;
  picker->SetDropHeight(kComboListHeight);
  for (const char* item : items) picker->AddItem(item, nullptr);
  return picker;
}

// A strength slider with its name to its left, on one row.
void AddStrength(Dialog& panel, const char* name, int id, int y) {
  panel.AddStatic(ID_LABEL, name, 20, y, 36, 22);
  panel.AddSlider(id, 58, y, 102, 22, 0, 100, 50);
}

}  // namespace

void BuildSimulationPanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context) {
  panel.Init(&manager, true);
  panel.SetCallback(callback, context);
  StyleParameterPanel(panel, "SIMULATION", 140);
  // A new session beside Weather, which goes on with the current one.
  panel.AddButton(ID_WEATHER, "Weather", 20, 32, 92, 32);
  panel.AddButton(ID_NEW_SESSION, "New", 116, 32, 44, 32);
  AddPicker(panel, ID_VIEW, 20, 68, 140, {"Shaded", "Dirt", "Rust", "Points"});
  AddStrength(panel, "Dirt", ID_DIRT_FACTOR, 92);
  AddStrength(panel, "Rust", ID_RUST_FACTOR, 116);
  // The light the model is shown in, and whether its surroundings are drawn behind it.
  panel.AddStatic(ID_LABEL, "Light", 20, 140, 36, 22);
  if (CUIComboBox* environments = AddPicker(panel, ID_ENVIRONMENT, 58, 140, 102, {})) {
    for (const Viewer::ShippedEnvironment& shipped : Viewer::ShippedEnvironments()) {
      environments->AddItem(shipped.displayName.c_str(), nullptr);
    }
  }
  panel.AddCheckBox(ID_BACKGROUND, "Background", 20, 164, 140, 22, true);
  // The model's sessions, the one shown chosen (the window's sessions fill it), and the button
  // that deletes it after asking.
  // The box is narrow beside Delete; its open list is wide enough for "Session 12 · 240 steps · density 100".
  if (CUIComboBox* sessions = AddPicker(panel, ID_SESSION, 20, 188, 92, {"No session"})) sessions->SetDropWidth(250);
  panel.AddButton(ID_DELETE_SESSION, "Delete", 116, 188, 44, 22);
  // The step slider covers the steps saved so far, none at first.
  panel.AddStatic(ID_STEP_LABEL, "No steps yet", 20, 212, 140, 24);
  CUISlider* step = nullptr;
  panel.AddSlider(ID_STEP, 20, 236, 140, 22, 0, 0, 0, false, &step);
  if (step != nullptr) step->SetEnabled(false);
  // The status line: up to four lines from the top of its place, in the regular font so that
  // more fits on a line.
  CUIStatic* status = nullptr;
  panel.AddStatic(ID_PROGRESS, "", 12, 262, 153, 66, false, &status);
  if (status != nullptr) {
    if (ControlElement* element = status->GetElement(0)) {
      element->font = 0;
      element->textFormat = Platform::DT_LEFT | Platform::DT_TOP;
    }
  }
}
