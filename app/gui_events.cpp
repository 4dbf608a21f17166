#include "app/gui_events.h"

#include <algorithm>
#include <cstdio>

#include "app/application_state.h"
#include "app/asset_export_command.h"
#include "app/control_ids.h"
#include "app/mask_history.h"
#include "app/model_loading.h"
#include "app/number_boxes.h"
#include "app/simulation_control.h"
#include "app/status_line.h"
#include "app/surface_samples.h"
#include "framework/framework.h"
#include "framework/ui_combo_box.h"

namespace {

// The view picker's entries: the three model views, then the sample points.
constexpr int kPointsView = 3;

bool DoneTyping(uint32_t eventCode) { return eventCode == kEventEditBoxEnter || eventCode == kEventEditBoxLeft; }

void PickView() {
  ApplicationState& app = App();
  const CUIComboBox* picker = app.simulationPanel.GetComboBox(ID_VIEW);
  const int view = picker ? picker->GetSelectedIndex() : 0;
  if (view != kPointsView) {
    app.meshView = std::max(view, 0);
    app.showSamples = 0;
    return;
  }
  app.showSamples = 1;
  // Points asked for before there are any: the surface is sampled for them.
  if (!app.sampleMap && app.triangleSoup) RequestResample();
}

}  // namespace

void OpenDeviceSettings() {
  CDeviceSettingsDialog& dialog = App().settingsDialog;
  // Activating reloads the dialog's controls from the device settings in use.
  dialog.SetActive(!dialog.IsActive());
}

void ShowSamplePoints(bool show) {
  ApplicationState& app = App();
  app.showSamples = show ? 1 : 0;
  if (CUIComboBox* picker = app.simulationPanel.GetComboBox(ID_VIEW)) {
    picker->SetSelectedByIndex(show ? kPointsView : app.meshView);
  }
}

void RequestResample() {
  ApplicationState& app = App();
  if (!app.triangleSoup) return;
  app.resampleCountdown = kResampleDelaySeconds;
  char text[96];
  // A run waiting for its samples takes the new density: the sampling starts over at once.
  if (app.runQueued) {
    app.resampleCountdown = -1.0f;
    StartResampling();
  } else if (SimulationKept()) {
    std::snprintf(text, sizeof text, "Density %d applies once the run has ended.", app.density);
    SetStatusNotice(text);
    return;
  }
  std::snprintf(text, sizeof text, "Sampling the surface at density %d...", app.density);
  SetStatusActivity(text);
}

void OnGuiEvent(uint32_t eventCode, int controlId, CUIControl*, void*) {
  ApplicationState& app = App();
  switch (controlId) {
    case ID_TOGGLE_FULLSCREEN: FrameworkToggleFullScreen(); break;
    case ID_TOGGLE_REF: FrameworkToggleREF(); break;
    case ID_CHANGE_DEVICE: OpenDeviceSettings(); break;
    case ID_MODEL:
      ShowSamplePoints(false);
      LoadSelectedModel();
      break;
    case ID_TOGGLE_WARP: FrameworkToggleWARP(); break;
    case ID_WEATHER:
      ShowSamplePoints(false);
      if (SimulationKept()) {
        RequestSimulationStop();
      } else {
        StartSimulation();
      }
      break;
    // A number box is read once the user is done with it, never while a number is half typed.
    case ID_DENSITY:
      if (DoneTyping(eventCode) && (CommitNumberBox(kDensityBox, app.density) || !app.sampleMap)) RequestResample();
      break;
    case ID_STEPS:
      // The next run's step count; a running run keeps its own, and the step slider covers what
      // has been saved.
      if (DoneTyping(eventCode)) CommitNumberBox(kStepsBox, app.steps);
      break;
    case ID_TONS_PER_STEP:
      if (DoneTyping(eventCode)) CommitNumberBox(kTonsPerStepBox, app.tonsPerStep);
      break;
    case ID_VIEW: PickView(); break;
    case ID_STEP:
      ShowStepLabel();
      app.maskReloadCountdown = 0.5f;
      break;
    case ID_EXPORT: ExportAgedModel(); break;
    default: break;
  }
}
