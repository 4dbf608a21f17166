#include "app/surface_samples.h"

#include <cstdio>

#include "app/application_state.h"
#include "app/mask_history.h"
#include "app/scene_rendering.h"
#include "app/simulation_control.h"
#include "app/status_line.h"
#include "framework/framework.h"

void ReleaseSamples() {
  ApplicationState& app = App();
  {
    ScopedLock lock(SampleLock());
    app.sampleMap.reset();
    app.samplePoints.Release();
  }
  MarkSceneChanged();
  // The masks were the history of these samples.
  EndMaskHistory();
}

void StartResampling() {
  ApplicationState& app = App();
  if (!app.triangleSoup || !app.kdTree || app.simulationThread) return;
  app.sampling.Start(app.kdTree, app.triangleSoup, app.density);
  app.resamplingPercent.store(ResamplingUnderWay() ? 0 : -1, std::memory_order_relaxed);
}

void CancelResampling() {
  App().sampling.Cancel();
  App().resamplingPercent.store(-1, std::memory_order_relaxed);
  CancelQueuedRun();
}

bool ResamplingUnderWay() { return App().sampling.UnderWay(); }

bool TakeFinishedResampling() {
  ApplicationState& app = App();
  const float share = app.sampling.Progress();
  app.resamplingPercent.store(share < 0.0f ? -1 : static_cast<int32_t>(share * 100.0f), std::memory_order_relaxed);
  Simulation::SampleMapBuild build;
  if (!app.sampling.TakeFinished(build)) return false;
  app.resamplingPercent.store(-1, std::memory_order_relaxed);
  char text[96];
  if (build.outOfMemory) {
    std::fprintf(stderr, "patinex: out of memory while sampling the surface at density %d\n", app.density);
    std::snprintf(text, sizeof text, "Sampling at density %d ran out of memory.", app.density);
    SetStatusActivity(text);
    SetStatusDetail("A lower density needs less.");
    build.map.reset();
  } else if (!build.map || build.map->Count() == 0) {
    std::fprintf(stderr, "patinex: sampling the surface found no samples\n");
    SetStatusActivity("Sampling found no surface on the model.");
    SetStatusDetail("");
    build.map.reset();
  } else {
    std::snprintf(text, sizeof text, "Sampled the surface: %u points at density %d.", build.map->Count(), app.density);
    SetStatusActivity(text);
    SetStatusDetail("");
  }
  std::unique_ptr<Simulation::SampleMap> replaced;
  {
    ScopedLock lock(SampleLock());
    replaced = std::move(app.sampleMap);
    app.sampleMap = std::move(build.map);
    app.sampleSpacing = app.sampleMap ? build.spacing : 0.0f;
  }
  app.sampling.Discard(std::move(replaced));
  // The masks were the history of the samples replaced.
  EndMaskHistory();
  FillSampleVertexBuffer();
  return true;
}

void FillSampleVertexBuffer() {
  ApplicationState& app = App();
  {
    ScopedLock ui(UiLock());
    ScopedLock samples(SampleLock());
    app.samplePoints.Reset(app.sampleMap ? app.sampleMap->Count() : 0);
  }
  MarkSceneChanged();
  FrameworkRequestFrame();
}

void WriteSamplePoints() {
  ApplicationState& app = App();
  Platform::GraphicsDevice* device = FrameworkGetDevice();
  ScopedLock ui(UiLock());
  ScopedLock samples(SampleLock());
  // A run changes the samples as it goes: while one is kept, only the CPU copy goes to the device.
  const bool steady = !app.simulationThread;
  if (device == nullptr || !app.sampleMap || !app.samplePoints.WritingLeft(steady)) return;
  app.samplePoints.WriteSome(*device, steady ? app.sampleMap->Items() : nullptr);
  if (app.samplePoints.WritingLeft(steady)) FrameworkRequestFrame();
}

void CopySamplePointsBeforeRun() {
  ApplicationState& app = App();
  ScopedLock samples(SampleLock());
  if (app.sampleMap) app.samplePoints.CopyRest(app.sampleMap->Items());
}

void ReleaseSampleVertexBuffer() {
  ScopedLock samples(SampleLock());
  App().samplePoints.ReleaseDevice();
}
