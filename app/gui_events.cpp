#include "app/gui_events.h"

#include <algorithm>

#include "app/application_state.h"
#include "app/asset_export_command.h"
#include "app/control_ids.h"
#include "app/edit_box_numbers.h"
#include "app/model_loading.h"
#include "app/simulation_control.h"
#include "framework/framework.h"
#include "framework/ui_slider.h"

void OpenDeviceSettings() {
  CDeviceSettingsDialog& dialog = App().settingsDialog;
  // Activating reloads the dialog's controls from the device settings in use.
  dialog.SetActive(!dialog.IsActive());
}

void ApplyStepsBox() {
  ApplicationState& app = App();
  app.steps = ReadClampedEditBox(app.parametersPanel.GetEditBox(ID_STEPS), 1000);
  CUISlider* slider = app.simulationPanel.GetSlider(ID_STEP);
  if (slider == nullptr) return;
  slider->SetValue(std::max(0, std::min(app.steps - 1, slider->GetValue())));
  slider->SetRange(0, app.steps - 1);
}

void OnGuiEvent(uint32_t, int controlId, CUIControl*, void*) {
  ApplicationState& app = App();
  switch (controlId) {
    case ID_TOGGLE_FULLSCREEN: FrameworkToggleFullScreen(); break;
    case ID_TOGGLE_REF: FrameworkToggleREF(); break;
    case ID_CHANGE_DEVICE: OpenDeviceSettings(); break;
    case ID_MODEL:
      app.showSamples = 0;
      LoadSelectedModel();
      break;
    case ID_TOGGLE_WARP: FrameworkToggleWARP(); break;
    case ID_WEATHER:
      app.showSamples = 0;
      if (SimulationKept()) {
        RequestSimulationStop();
      } else {
        StartSimulation();
      }
      break;
    case ID_DENSITY: app.resampleCountdown = 1.0f; break;
    case ID_STEPS: ApplyStepsBox(); break;
    case ID_STEP: app.maskReloadCountdown = 0.5f; break;
    case ID_EXPORT: ExportAgedModel(); break;
    default: break;
  }
}
