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
  app.sampleVertexBuffer.reset();
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
    Platform::GraphicsDevice* device = FrameworkGetDevice();
    if (device == nullptr ||
        Platform::Failed(device->CreateVertexBuffer(uint32_t(app.sampleMap->Count() * sizeof(Viewer::PointVertex)),
                                                    nullptr, true, &app.sampleVertexBuffer))) {
      std::fprintf(stderr, "patinex: no room on the device for %u sample points\n", app.sampleMap->Count());
      return true;
    }
  }
  FillSampleVertexBuffer();
  return true;
}

void FillSampleVertexBuffer() {
  ApplicationState& app = App();
  ScopedLock ui(UiLock());
  ScopedLock samples(SampleLock());
  if (!app.sampleMap || !app.sampleVertexBuffer) return;
  auto* vertices = static_cast<Viewer::PointVertex*>(app.sampleVertexBuffer->MapDiscard());
  if (vertices == nullptr) return;
  const Simulation::SurfaceSample* items = app.sampleMap->Items();
  for (uint32_t i = 0; i < app.sampleMap->Count(); ++i) {
    const float d = items[i].dirt;
    vertices[i] = {{items[i].position.x, items[i].position.y, items[i].position.z}, {d, d, d, 1.0f}};
  }
  app.sampleVertexBuffer->Unmap();
  MarkSceneChanged();
}
