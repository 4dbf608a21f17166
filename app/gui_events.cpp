#include <cstdint>

#include "app/application.h"
#include "app/control_ids.h"
#include "app/source_controls.h"
#include "framework/ui_check_box.h"
#include "framework/ui_combo_box.h"

namespace {

bool DoneTyping(uint32_t eventCode) { return eventCode == kEventEditBoxEnter || eventCode == kEventEditBoxLeft; }

}  // namespace

void PatinexApplication::OpenDeviceSettings() {
  CDeviceSettingsDialog& dialog = panels.SettingsDialog();
  // Activating reloads the dialog's controls from the device settings in use.
  dialog.SetActive(!dialog.IsActive());
}

void PatinexApplication::OnGuiEvent(uint32_t eventCode, int controlId) {
  switch (controlId) {
    case ID_TOGGLE_FULLSCREEN: FrameworkToggleFullScreen(); break;
    case ID_TOGGLE_REF: FrameworkToggleREF(); break;
    case ID_CHANGE_DEVICE: OpenDeviceSettings(); break;
    case ID_MODEL: LoadSelectedModel(); break;
    case ID_TOGGLE_WARP: FrameworkToggleWARP(); break;
    case ID_WEATHER:
      view.ShowSamplePoints(false);
      if (run.Kept()) {
        run.RequestStop();
      } else {
        run.Start();
      }
      break;
    // A number box is read once the user is done with it, never while a number is half typed.
    case ID_DENSITY:
      if (DoneTyping(eventCode) && (numbers.Commit(kDensityBox) || samples.Map() == nullptr)) run.RequestResample();
      break;
    case ID_STEPS:
      // The next run's step count; a running run keeps its own, and the step slider covers what
      // has been saved.
      if (DoneTyping(eventCode)) numbers.Commit(kStepsBox);
      break;
    case ID_TONS_PER_STEP:
      if (DoneTyping(eventCode)) numbers.Commit(kTonsPerStepBox);
      break;
    case ID_VIEW:
      if (view.PickView()) run.RequestResample();
      break;
    case ID_STEP:
      history.ShowStepLabel();
      view.ReloadMasksSoon();
      break;
    case ID_EXPORT: exporter.Export(); break;
    case ID_ENVIRONMENT:
      if (const CUIComboBox* environment = panels.SimulationPanel().GetComboBox(ID_ENVIRONMENT)) {
        view.SetEnvironment(environment->GetSelectedIndex());
      }
      break;
    case ID_BACKGROUND:
      if (const CUICheckBox* background = panels.SimulationPanel().GetCheckBox(ID_BACKGROUND)) {
        view.ShowBackground(background->GetChecked());
      }
      break;
    // The source is read when a run starts: a running run keeps the one it started with.
    case ID_SOURCE:
    case ID_SPREAD:
      UpdateSourceLabels(panels.SourcePanel());
      if (run.Kept()) {
        status.SetDetail("Weather from " + SourceText(SourceOfControls(panels.SourcePanel())) +
                         " applies to the next run.");
      }
      FrameworkRequestFrame();
      break;
    case ID_LOOK: ChooseLook(); break;
    case ID_SESSION: ChooseSession(); break;
    case ID_NEW_SESSION: StartNewSession(); break;
    case ID_DELETE_SESSION: AskToDeleteSession(); break;
    case ID_QUIT_YES: AnswerQuitQuestion(true); break;
    case ID_QUIT_NO: AnswerQuitQuestion(false); break;
    case ID_OPEN: browser.Show(); break;
    default:
      if (controlId >= ID_BROWSER_PATH && controlId <= ID_BROWSER_CANCEL) browser.OnGuiEvent(eventCode, controlId);
      break;
  }
}
