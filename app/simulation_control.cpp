#include "app/simulation_control.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "app/application_state.h"
#include "app/control_ids.h"
#include "app/edit_box_numbers.h"
#include "app/scene_rendering.h"
#include "app/surface_samples.h"
#include "framework/framework.h"
#include "framework/ui_button.h"
#include "framework/ui_edit_box.h"
#include "framework/ui_slider.h"
#include "framework/ui_static.h"
#include "shipped_media/shipped_splat.h"

namespace {

double longestWait = 0.0;
float shownPercent = -1.0f;

void SetButtonText(const char* text) {
  if (CUIButton* button = App().simulationPanel.GetButton(ID_WEATHER)) button->SetText(text);
}

void ShowProgress(bool visible, const char* text) {
  if (CUIStatic* line = App().simulationPanel.GetStatic(ID_PROGRESS)) {
    line->SetVisible(visible);
    if (text != nullptr) line->SetText(text);
  }
}

// Without the dialog sending programmatic events, a set value is not reported.
void SetSlider(int id, int value) {
  if (CUISlider* slider = App().simulationPanel.GetSlider(id)) slider->SetValue(value);
}

}  // namespace

bool SimulationKept() { return App().simulationThread != nullptr || App().runQueued; }

void StartSimulation() {
  ApplicationState& app = App();
  if (!app.triangleSoup || app.simulationThread) return;
  // The run needs the samples of the density shown. Missing, waiting for a Density edit or on
  // their way, they are made off the window thread and the run waits for them.
  if (!app.sampleMap || app.resampleCountdown > 0.0f || ResamplingUnderWay()) {
    if (!ResamplingUnderWay() || app.resampleCountdown > 0.0f) {
      app.resampleCountdown = -1.0f;
      StartResampling();
    }
    if (!ResamplingUnderWay()) {
      std::fprintf(stderr, "patinex: the model's surface cannot be sampled; no run started\n");
      return;
    }
    app.runQueued = true;
    SetButtonText("Stop");
    ShowProgress(true, "Sampling the surface...");
    return;
  }
  app.runQueued = false;
  SetButtonText("Stop");
  app.steps = ReadClampedEditBox(app.parametersPanel.GetEditBox(ID_STEPS), 1000);
  app.tonsPerStep = ReadClampedEditBox(app.parametersPanel.GetEditBox(ID_TONS_PER_STEP), 1000000);
  app.simulationFinished.store(0, std::memory_order_relaxed);
  app.runLastStep.store(-1, std::memory_order_relaxed);
  app.stepReportPending.store(false, std::memory_order_relaxed);
  app.tracedPercent.store(-1.0f, std::memory_order_relaxed);
  app.runLegs.store(0, std::memory_order_relaxed);
  app.runTraceSeconds.store(0.0, std::memory_order_relaxed);
  shownPercent = -1.0f;
  std::string error;
  if (!ShippedMedia::LoadSplat(app.splat, &error)) {
    std::fprintf(stderr, "patinex: no masks can be baked: %s\n", error.c_str());
  }

  Simulation::SimulationParams& params = app.simulationParams;
  params = Simulation::SimulationParams();
  params.maskWidth = 1024;
  params.maskHeight = 1024;
  params.sampleSpacing = app.sampleSpacing;
  params.splat = &app.splat;
  params.steps = app.steps;
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
  params.maskFolder = app.maskFolder.empty() ? nullptr : app.maskFolder.c_str();

  // The points show the samples as they are already: only runs change them, and the end of each
  // has them written again.
  if (CUISlider* slider = app.simulationPanel.GetSlider(ID_STEP)) {
    slider->SetRange(0, app.steps - 1);
    slider->SetValue(app.steps - 1);
  }
  ShowProgress(true, "Starting trace...");

  app.simulationThread = std::make_unique<ThreadingLib::Thread>("Patinex", &app.process, 2, 0);
  if (!app.simulationThread->Start(&params, sizeof params)) {
    std::fprintf(stderr, "patinex: the simulation thread could not be started\n");
    app.simulationThread.reset();
    SetButtonText("Weather");
    ShowProgress(true, "Could not start the run");
  }
}

void StartQueuedRun() {
  ApplicationState& app = App();
  if (!app.runQueued) return;
  if (!app.sampleMap) {
    std::fprintf(stderr, "patinex: the model has no surface samples; no run started\n");
    CancelQueuedRun();
    return;
  }
  StartSimulation();
}

void CancelQueuedRun() {
  ApplicationState& app = App();
  if (!app.runQueued) return;
  app.runQueued = false;
  SetButtonText("Weather");
  ShowProgress(false, nullptr);
}

void RequestSimulationStop() {
  if (App().simulationThread) App().simulationThread->Stop();
  CancelQueuedRun();
}

void EndRunningSimulation(bool loadMasks) {
  ApplicationState& app = App();
  if (!app.simulationThread) return;
  const auto start = std::chrono::steady_clock::now();
  app.simulationThread->Stop();
  app.simulationThread->Wait();
  longestWait = std::max(longestWait, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  CollectFinishedRun(loadMasks);
}

double LongestRunEndWait() { return longestWait; }

void ResetLongestRunEndWait() { longestWait = 0.0; }

void CollectFinishedRun(bool loadMasks) {
  ApplicationState& app = App();
  // Joins the run's thread (it has ended or ends now), so its last writes are seen.
  app.simulationThread.reset();
  app.simulationFinished.store(0, std::memory_order_relaxed);
  app.stepReportPending.store(false, std::memory_order_relaxed);
  FillSampleVertexBuffer();
  const int32_t lastStep = app.runLastStep.load(std::memory_order_acquire);
  if (lastStep >= 0) {
    if (CUISlider* slider = app.simulationPanel.GetSlider(ID_STEP)) slider->SetValue(lastStep);
    app.maskReloadCountdown = std::min(app.maskReloadCountdown, 0.0f);
  }
  if (loadMasks) LoadMaskViews(lastStep);
  SetSlider(ID_DIRT_FACTOR, 100);
  SetSlider(ID_RUST_FACTOR, 100);
  SetButtonText("Weather");
  ShowProgress(false, nullptr);
  app.tracedPercent.store(-1.0f, std::memory_order_relaxed);
}

void ApplyRunReports() {
  ApplicationState& app = App();
  if (app.stepReportPending.exchange(false, std::memory_order_acquire)) {
    if (CUISlider* slider = app.simulationPanel.GetSlider(ID_STEP)) {
      slider->SetValue(app.runLastStep.load(std::memory_order_relaxed));
    }
    app.maskReloadCountdown = 0.5f;
  }
  const float percent = app.tracedPercent.load(std::memory_order_relaxed);
  if (percent >= 0.0f && percent != shownPercent && app.simulationThread) {
    shownPercent = percent;
    char text[64];
    std::snprintf(text, sizeof text, "Traced %0.01f%%", percent);
    ShowProgress(true, text);
  }
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
  if (device == nullptr || step < 0 || step > app.highestWrittenStep.load(std::memory_order_acquire)) return;
  const char* folder = app.maskFolder.empty() ? nullptr : app.maskFolder.c_str();
  device->CreateTextureFromFile(Simulation::MaskFileName(folder, 2, step), &app.rustMaskView);
  device->CreateTextureFromFile(Simulation::MaskFileName(folder, 1, step), &app.dirtMaskView);
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
  std::fprintf(stderr, "patinex: step %d of %d: %u tons, %llu legs traced in %.2f s (%.0f legs/s)\n",
               report.step + 1, report.steps, report.tons, static_cast<unsigned long long>(report.legs),
               report.traceSeconds, report.traceSeconds > 0.0 ? double(report.legs) / report.traceSeconds : 0.0);
  int32_t highest = app.highestWrittenStep.load(std::memory_order_relaxed);
  while (report.step > highest &&
         !app.highestWrittenStep.compare_exchange_weak(highest, report.step, std::memory_order_release)) {
  }
  app.runLastStep.store(report.step, std::memory_order_release);
  app.stepReportPending.store(true, std::memory_order_release);
}
