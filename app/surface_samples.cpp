#include "app/surface_samples.h"

#include <cstdio>

#include "app/application_state.h"
#include "app/control_ids.h"
#include "app/edit_box_numbers.h"
#include "app/simulation_control.h"
#include "app/scene_rendering.h"
#include "framework/framework.h"
#include "viewer/scene_effects.h"

void ReleaseSamples() {
  ApplicationState& app = App();
  ScopedLock lock(SampleLock());
  app.sampleMap.reset();
  app.samplePoints.Release();
  MarkSceneChanged();
}

void StartResampling() {
  ApplicationState& app = App();
  if (!app.triangleSoup || !app.kdTree || app.simulationThread) return;
  ReleaseSamples();
  app.density = ReadClampedEditBox(app.parametersPanel.GetEditBox(ID_DENSITY), 500);
  app.sampling.Start(app.kdTree, app.triangleSoup, app.density);
}

void CancelResampling() {
  App().sampling.Cancel();
  CancelQueuedRun();
}

bool ResamplingUnderWay() { return App().sampling.UnderWay(); }

bool TakeFinishedResampling() {
  ApplicationState& app = App();
  Simulation::SampleMapBuild build;
  if (!app.sampling.TakeFinished(build)) return false;
  ReleaseSamples();
  if (!build.map || build.map->Count() == 0) {
    std::fprintf(stderr, "patinex: sampling the surface found no samples\n");
    return true;
  }
  {
    ScopedLock lock(SampleLock());
    app.sampleMap = std::move(build.map);
    app.sampleSpacing = build.spacing;
  }
  FillSampleVertexBuffer();
  return true;
}

void FillSampleVertexBuffer() {
  ApplicationState& app = App();
  ScopedLock ui(UiLock());
  ScopedLock samples(SampleLock());
  if (!app.sampleMap) {
    app.samplePoints.Release();
  } else if (app.samplePoints.Device() != FrameworkGetDevice() || app.samplePoints.Count() != app.sampleMap->Count()) {
    app.samplePoints.Reset(FrameworkGetDevice(), app.sampleMap->Count());
  } else {
    app.samplePoints.MarkStale();
  }
  MarkSceneChanged();
}

void WriteSamplePoints() {
  ApplicationState& app = App();
  ScopedLock ui(UiLock());
  ScopedLock samples(SampleLock());
  // A run changes the samples as it goes: points are written between runs only.
  if (app.sampleMap && !app.simulationThread && app.samplePoints.WritingLeft()) {
    app.samplePoints.WriteSome(app.sampleMap->Items());
  }
}
