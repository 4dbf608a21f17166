#include "app/surface_samples.h"

#include <algorithm>
#include <cstdio>

#include "app/application_state.h"
#include "app/control_ids.h"
#include "app/mask_history.h"
#include "framework/framework.h"
#include "simulation/sample_map_builder.h"
#include "viewer/scene_effects.h"

void ReleaseSamples() {
  ApplicationState& app = App();
  {
    ScopedLock lock(SampleLock());
    app.sampleMap.reset();
    app.sampleVertexBuffer.reset();
    app.sampleVertices.clear();
  }
  // The masks were the history of these samples.
  EndMaskHistory();
}

void ResampleSurface() {
  ApplicationState& app = App();
  if (!app.triangleSoup || !app.kdTree || app.simulationThread) return;
  ReleaseSamples();
  ScopedLock lock(SampleLock());
  Simulation::SampleMapBuild build = Simulation::BuildSampleMap(*app.kdTree, *app.triangleSoup, app.density);
  if (!build.map || build.map->Count() == 0) {
    std::fprintf(stderr, "patinex: sampling the surface found no samples\n");
    return;
  }
  app.sampleMap = std::move(build.map);
  app.sampleSpacing = build.spacing;
  FillSampleVertexBuffer();
}

void RecreateSampleVertexBuffer() {
  ApplicationState& app = App();
  ScopedLock ui(UiLock());
  ScopedLock samples(SampleLock());
  app.sampleVertexBuffer.reset();
  Platform::GraphicsDevice* device = FrameworkGetDevice();
  if (!app.sampleMap || app.sampleVertices.empty() || device == nullptr) return;
  if (Platform::Failed(device->CreateVertexBuffer(uint32_t(app.sampleVertices.size() * sizeof(Viewer::PointVertex)),
                                                  nullptr, true, &app.sampleVertexBuffer))) {
    std::fprintf(stderr, "patinex: no room on the device for %zu sample points\n", app.sampleVertices.size());
    return;
  }
  auto* vertices = static_cast<Viewer::PointVertex*>(app.sampleVertexBuffer->MapDiscard());
  if (vertices == nullptr) return;
  std::copy(app.sampleVertices.begin(), app.sampleVertices.end(), vertices);
  app.sampleVertexBuffer->Unmap();
}

void ReleaseSampleVertexBuffer() {
  ScopedLock samples(SampleLock());
  App().sampleVertexBuffer.reset();
}

void FillSampleVertexBuffer() {
  ApplicationState& app = App();
  ScopedLock ui(UiLock());
  ScopedLock samples(SampleLock());
  if (!app.sampleMap) return;
  const Simulation::SurfaceSample* items = app.sampleMap->Items();
  app.sampleVertices.resize(app.sampleMap->Count());
  for (uint32_t i = 0; i < app.sampleMap->Count(); ++i) {
    const float d = items[i].dirt;
    app.sampleVertices[i] = {{items[i].position.x, items[i].position.y, items[i].position.z}, {d, d, d, 1.0f}};
  }
  if (!app.sampleVertexBuffer) {
    RecreateSampleVertexBuffer();
    return;
  }
  auto* vertices = static_cast<Viewer::PointVertex*>(app.sampleVertexBuffer->MapDiscard());
  if (vertices == nullptr) return;
  std::copy(app.sampleVertices.begin(), app.sampleVertices.end(), vertices);
  app.sampleVertexBuffer->Unmap();
}
