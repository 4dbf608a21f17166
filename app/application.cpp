#include "app/application.h"

#include <cstdio>

#include "app/application_callbacks.h"
#include "app/application_state.h"
#include "app/mask_folder.h"
#include "app/model_loading.h"
#include "app/panels.h"
#include "app/simulation_control.h"
#include "app/status_line.h"
#include "app/surface_samples.h"
#include "framework/framework.h"
#include "platform/window.h"

namespace {

// The platform's message box; "No", the safe answer, is what Enter and Escape give.
bool AskWhetherToQuitDuringRun() {
  return Platform::ShowMessageBox(FrameworkGetWindow(), "Patinex: a run is in progress",
                                  "A run is in progress. Quit anyway?", Platform::MessageBoxIcon::Question,
                                  {"&Yes", "&No"}, 1, 1) == 0;
}

}  // namespace

bool StartApplication(bool parseCommandLine, const char* extraCommandLine) {
  ApplicationState& app = App();
  app.mediaFolder = FindShippedMediaFolder();
  if (app.mediaFolder.empty()) std::fprintf(stderr, "patinex: no media folder found; the views stay empty\n");
  app.maskFolder = ChooseMaskFolder(app.mediaFolder, &app.maskFolderProblem);
  app.confirmQuitDuringRun = AskWhetherToQuitDuringRun;
  if (!app.maskFolder.empty()) std::fprintf(stderr, "patinex: masks are written to %s\n", app.maskFolder.c_str());
  ResetModelTable();
  SetStatusActivity("Pick a model, then press Weather.");

  FrameworkSetGammaCorrectMode(false);
  // Nothing changes on screen unless something happens: the window rests in between.
  FrameworkSetRenderOnDemand(true);
  RegisterApplicationCallbacks();
  app.settingsDialog.Init();
  BuildDevicePanel(app.devicePanel, app.dialogResourceManager);
  BuildParametersPanel(app.parametersPanel, app.dialogResourceManager);
  BuildSimulationPanel(app.simulationPanel, app.dialogResourceManager);
  app.simulationFinished.store(0, std::memory_order_relaxed);
  if (Platform::Failed(FrameworkInit(parseCommandLine, true, extraCommandLine, false))) return false;
  FrameworkSetCursorSettings(true, true);
  if (Platform::Failed(FrameworkCreateWindow("Patinex"))) {
    std::fprintf(stderr, "patinex: patinex-cli inspects models and weathers them without a window or display\n");
    return false;
  }
  return Platform::Succeeded(FrameworkCreateDevice(true, 800, 600));
}

int ShutdownApplication() {
  EndRunningSimulation(false);
  FrameworkShutdown(FrameworkGetExitCode());
  // A cancelled sampling reports to the application's state: it ends before that state does.
  App().sampling.WaitForAll();
  App().exporting.Wait();
  // The model and the samples outlive device changes; they go with the program.
  ReleaseModel();
  ReleaseSamples();
  return FrameworkGetExitCode();
}
