#include "app/simulation_control.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <string>

#include "app/application_state.h"
#include "app/control_ids.h"
#include "app/mask_history.h"
#include "app/number_boxes.h"
#include "app/scene_rendering.h"
#include "app/status_line.h"
#include "app/surface_samples.h"
#include "framework/framework.h"
#include "framework/ui_button.h"
#include "framework/ui_slider.h"
#include "shipped_media/shipped_splat.h"
#include "simulation/mask_baking.h"
#include "simulation/mask_files.h"

namespace {

using Clock = std::chrono::steady_clock;

double longestWait = 0.0;

void SetButtonText(const char* text) {
  if (CUIButton* button = App().simulationPanel.GetButton(ID_WEATHER)) button->SetText(text);
}

// Without the dialog sending programmatic events, a set value is not reported.
void SetSlider(int id, int value) {
  if (CUISlider* slider = App().simulationPanel.GetSlider(id)) slider->SetValue(value);
}

// "steps 1–6" or "step 1" of the history, 1-based as the step label counts.
std::string HistoryRange(int32_t steps) {
  char text[48];
  if (steps == 1) std::snprintf(text, sizeof text, "step 1");
  else std::snprintf(text, sizeof text, "steps 1\xE2\x80\x93%d", steps);
  return text;
}

std::string MasksWentText() {
  const ApplicationState& app = App();
  std::string text = "Masks of " + HistoryRange(app.maskHistorySteps) + " in " + ShownFolder(app.maskFolder);
  if (app.earlierMasksMovedAside) text += "; earlier masks in previous/";
  return text + ".";
}

// Refuses to start, saying why in the status line.
void NoRun(const std::string& activity, const std::string& detail) {
  SetButtonText("Weather");
  SetStatusActivity(activity);
  SetStatusDetail(detail);
}

}  // namespace

bool SimulationKept() { return App().simulationThread != nullptr || App().runQueued; }

bool SimulationRunning() {
  return App().simulationThread != nullptr && App().simulationFinished.load(std::memory_order_acquire) == 0;
}

std::string MaskErrorText(int32_t code) {
  switch (code) {
    case Simulation::kMaskNotWritten: return "the files could not be written";
    case Simulation::kMaskNoMemory: return "there was not enough memory to bake them";
    case Simulation::kMaskNoSplat: return "there was no splat image to bake them with";
    default: return "baking them failed";
  }
}

void StartSimulation() {
  ApplicationState& app = App();
  if (app.simulationThread) return;
  // A run that waited for its samples starts now, or says why it cannot.
  app.runQueued = false;
  SetStatusNotice("");
  CommitNumberBoxes();
  if (!app.triangleSoup) {
    NoRun("Pick a model first, then press Weather.", "");
    return;
  }
  if (app.maskFolder.empty()) {
    NoRun("No run: the masks could not be saved anywhere.", app.maskFolderProblem);
    return;
  }
  std::string error;
  if (!ShippedMedia::LoadSplat(app.splat, &error)) {
    std::fprintf(stderr, "patinex: no masks can be baked: %s\n", error.c_str());
    NoRun("No run: the masks cannot be baked.", error);
    return;
  }
  // A density entered just before settles now: the run waits for samples of that density, made
  // off the window thread, and no resampling comes later to replace the samples under it.
  if (app.resampleCountdown > 0.0f || !app.sampleMap || ResamplingUnderWay()) {
    if (app.resampleCountdown > 0.0f || !ResamplingUnderWay()) {
      app.resampleCountdown = -1.0f;
      StartResampling();
    }
    if (!ResamplingUnderWay()) {
      NoRun("No run: the surface could not be sampled.", "");
      return;
    }
    app.runQueued = true;
    SetButtonText("Stop");
    SetStatusDetail("The run starts once the surface is sampled.");
    return;
  }
  if (!app.sampleMap) {
    NoRun("No run: sampling found no surface on the model.", "");
    return;
  }
  // The first run of a history finds the folder holding other masks (another model's, an earlier
  // session's, a batch bake's): they go aside, so the folder holds this history alone.
  if (MaskHistorySteps() == 0) {
    std::string why;
    const int moved = MoveMasksAside(app.maskFolder, &why);
    if (moved < 0) {
      NoRun("No run: the earlier masks could not be moved aside.", why);
      return;
    }
    app.earlierMasksMovedAside = moved > 0;
  }

  SetButtonText("Stop");
  app.simulationFinished.store(0, std::memory_order_relaxed);
  app.runLastStep.store(-1, std::memory_order_relaxed);
  app.stepReportPending.store(false, std::memory_order_relaxed);
  app.tracedPercent.store(-1.0f, std::memory_order_relaxed);
  app.runStepsSaved.store(0, std::memory_order_relaxed);
  app.runFailedStep.store(-1, std::memory_order_relaxed);
  app.runMaskError.store(0, std::memory_order_relaxed);
  app.runSteps = app.steps;
  app.runFirstMaskNumber = MaskHistorySteps();
  app.runStopAsked = false;
  app.runStart = Clock::now();
  app.runLegs.store(0, std::memory_order_relaxed);
  app.runTraceSeconds.store(0.0, std::memory_order_relaxed);

  Simulation::SimulationParams& params = app.simulationParams;
  params = Simulation::SimulationParams();
  params.maskWidth = 1024;
  params.maskHeight = 1024;
  params.sampleSpacing = app.sampleSpacing;
  params.splat = &app.splat;
  params.steps = app.runSteps;
  params.tonsPerStep = app.tonsPerStep;
  params.mesh = app.triangleSoup.get();
  params.sampleMap = app.sampleMap.get();
  params.kdTree = app.kdTree.get();
  params.finished = &app.simulationFinished;
  // The run bakes in software and its files appear by rename: it needs no UI lock, so the
  // window never waits for a bake.
  params.uiLock = nullptr;
  params.progress = OnSimulationProgress;
  params.stepFinished = OnSimulationStepFinished;
  params.density = app.density;
  params.maskFolder = app.maskFolder.c_str();
  params.firstMaskNumber = app.runFirstMaskNumber;

  // The points keep showing the samples as they are now while the run changes them.
  CopySamplePointsBeforeRun();
  std::string going = "Masks go to " + ShownFolder(app.maskFolder);
  if (app.earlierMasksMovedAside) going += "; earlier masks moved to previous/";
  SetStatusDetail(going + ".");

  app.simulationThread = std::make_unique<ThreadingLib::Thread>("Patinex", &app.process, 2, 0);
  if (!app.simulationThread->Start(&params, sizeof params)) {
    std::fprintf(stderr, "patinex: the simulation thread could not be started\n");
    app.simulationThread.reset();
    NoRun("No run: its thread could not be started.", "");
    return;
  }
  ApplyRunReports();
}

void StartQueuedRun() {
  ApplicationState& app = App();
  if (!app.runQueued) return;
  if (!app.sampleMap) {
    CancelQueuedRun();
    SetStatusDetail("No run: there are no samples to run on.");
    return;
  }
  StartSimulation();
}

void CancelQueuedRun() {
  ApplicationState& app = App();
  if (!app.runQueued) return;
  app.runQueued = false;
  SetButtonText("Weather");
  SetStatusDetail("");
}

void RequestSimulationStop() {
  ApplicationState& app = App();
  CancelQueuedRun();
  if (!app.simulationThread) return;
  app.runStopAsked = true;
  app.simulationThread->Stop();
  ApplyRunReports();
}

void EndRunningSimulation(bool loadMasks) {
  ApplicationState& app = App();
  if (!app.simulationThread) return;
  const auto start = Clock::now();
  app.runStopAsked = true;
  app.simulationThread->Stop();
  app.simulationThread->Wait();
  longestWait = std::max(longestWait, std::chrono::duration<double>(Clock::now() - start).count());
  CollectFinishedRun(loadMasks);
}

double LongestRunEndWait() { return longestWait; }

void ResetLongestRunEndWait() { longestWait = 0.0; }

void CollectFinishedRun(bool loadMasks) {
  ApplicationState& app = App();
  // Joins the run's thread (it has ended or ends now), so its last writes are seen.
  app.simulationThread.reset();
  app.simulationFinished.store(0, std::memory_order_relaxed);
  ApplyRunReports();
  FillSampleVertexBuffer();

  const double seconds = std::chrono::duration<double>(Clock::now() - app.runStart).count();
  const int32_t saved = app.runStepsSaved.load(std::memory_order_acquire);
  const int32_t failedStep = app.runFailedStep.load(std::memory_order_acquire);
  char text[160];
  if (failedStep >= 0) {
    // The masks of the step that did save would sit beside the history as if they belonged to it.
    RemoveMasksOfStep(app.maskFolder, app.runFirstMaskNumber + failedStep);
    std::snprintf(text, sizeof text, "Stopped: step %d not saved.", app.runFirstMaskNumber + failedStep + 1);
    SetStatusActivity(text);
    std::string detail = MaskErrorText(app.runMaskError.load(std::memory_order_relaxed)) + " in " +
                         ShownFolder(app.maskFolder) + ".";
    detail[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(detail[0])));
    if (app.maskHistorySteps > 0) {
      std::string kept = HistoryRange(app.maskHistorySteps);
      kept[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(kept[0])));
      detail += " " + kept + " kept.";
    }
    SetStatusDetail(detail);
  } else {
    if (saved == app.runSteps) {
      std::snprintf(text, sizeof text, "Done: %d step%s in %.1f s.", saved, saved == 1 ? "" : "s", seconds);
    } else {
      std::snprintf(text, sizeof text, "Stopped after %d of %d steps (%.1f s).", saved, app.runSteps, seconds);
    }
    SetStatusActivity(text);
    SetStatusDetail(app.maskHistorySteps > 0 ? MasksWentText() : "");
  }
  if (loadMasks) LoadMaskViews(app.maskHistorySteps - 1);
  SetSlider(ID_DIRT_FACTOR, 100);
  SetSlider(ID_RUST_FACTOR, 100);
  SetButtonText("Weather");
  app.tracedPercent.store(-1.0f, std::memory_order_relaxed);
  ShowStatusLine();
}

void ApplyRunReports() {
  ApplicationState& app = App();
  if (app.stepReportPending.exchange(false, std::memory_order_acquire)) {
    const int32_t history = app.runFirstMaskNumber + app.runStepsSaved.load(std::memory_order_acquire);
    if (history != app.maskHistorySteps) {
      ExtendMaskHistory(history);
      app.maskReloadCountdown = 0.5f;
    }
  }
  if (!SimulationRunning()) return;
  const int32_t step = std::min(app.runLastStep.load(std::memory_order_relaxed) + 2, app.runSteps);
  const float percent = app.tracedPercent.load(std::memory_order_relaxed);
  char text[96];
  if (app.runStopAsked) {
    std::snprintf(text, sizeof text, "Stopping the run at step %d of %d...", step, app.runSteps);
  } else if (percent < 0.0f) {
    std::snprintf(text, sizeof text, "Run step %d of %d: starting", step, app.runSteps);
  } else if (percent >= 100.0f) {
    std::snprintf(text, sizeof text, "Run step %d of %d: baking masks", step, app.runSteps);
  } else {
    std::snprintf(text, sizeof text, "Run step %d of %d: traced %0.1f\u00a0%%", step, app.runSteps, percent);
  }
  SetStatusActivity(text);
}

void ReleaseMaskViews() {
  App().rustMaskView.reset();
  App().dirtMaskView.reset();
  MarkSceneChanged();
}

void LoadMaskViews(int32_t step) {
  ApplicationState& app = App();
  ReleaseMaskViews();
  Platform::GraphicsDevice* device = FrameworkGetDevice();
  if (device == nullptr || step < 0 || step >= app.maskHistorySteps || app.maskFolder.empty()) return;
  device->CreateTextureFromFile(Simulation::MaskFileName(app.maskFolder.c_str(), Simulation::MaskChannel::kRust, step), &app.rustMaskView);
  device->CreateTextureFromFile(Simulation::MaskFileName(app.maskFolder.c_str(), Simulation::MaskChannel::kDirt, step), &app.dirtMaskView);
  MarkSceneChanged();
}

void OnSimulationProgress(int32_t done, int32_t total, void*) {
  if (total > 0) App().tracedPercent.store(float(done) / float(total) * 100.0f, std::memory_order_relaxed);
}

void OnSimulationStepFinished(const Simulation::StepReport& report, void*) {
  ApplicationState& app = App();
  // Only the run's thread writes these while it runs.
  app.runLegs.store(app.runLegs.load(std::memory_order_relaxed) + report.legs, std::memory_order_relaxed);
  app.runTraceSeconds.store(app.runTraceSeconds.load(std::memory_order_relaxed) + report.traceSeconds,
                            std::memory_order_relaxed);
  if (report.masksSaved == 3) {
    if (app.runFailedStep.load(std::memory_order_relaxed) < 0) {
      app.runStepsSaved.store(report.step + 1, std::memory_order_release);
    }
  } else {
    // Only saved masks count: a step without them would show older files of the same name, or
    // leave a hole in the history. The run ends here and the window says why.
    app.runMaskError.store(report.maskError != 0 ? report.maskError : Simulation::kMaskNotWritten,
                           std::memory_order_relaxed);
    app.runFailedStep.store(report.step, std::memory_order_release);
    app.process.Stop();
  }
  app.tracedPercent.store(-1.0f, std::memory_order_relaxed);
  app.runLastStep.store(report.step, std::memory_order_release);
  app.stepReportPending.store(true, std::memory_order_release);
}
