#include "app/model_loading.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/application_state.h"
#include "app/control_ids.h"
#include "app/edit_box_numbers.h"
#include "app/mask_folder.h"
#include "app/scene_rendering.h"
#include "app/simulation_control.h"
#include "framework/framework.h"
#include "framework/ui_combo_box.h"
#include "platform/matrix_math.h"
#include "renderlib/obj_loader.h"
#include "simulation/sample_map_builder.h"

namespace {

constexpr float kFieldOfView = 0.7853982f;

// A point of the points view, as the point layout reads it.
struct PointVertex {
  float position[3];
  float color[4];
};
static_assert(sizeof(PointVertex) == 28);

}  // namespace

void ResetModelTable() {
  ApplicationState& app = App();
  app.models = {{"-Pick Model-", ""},
                {"Sphere", ShippedMediaFile(app.mediaFolder, "sphere.obj")},
                {"Beethoven", ShippedMediaFile(app.mediaFolder, "beethoven.obj")},
                {"Bunny", ShippedMediaFile(app.mediaFolder, "bunny.obj")}};
}

int AddModelEntry(const std::string& path) {
  ApplicationState& app = App();
  // The same file dropped again selects its entry rather than adding a twin.
  for (size_t i = 1; i < app.models.size(); ++i) {
    if (app.models[i].file == path) return static_cast<int>(i);
  }
  app.models.push_back({std::filesystem::path(path).filename().string(), path});
  return static_cast<int>(app.models.size()) - 1;
}

void FillModelPicker() {
  ApplicationState& app = App();
  CUIComboBox* picker = app.parametersPanel.GetComboBox(ID_MODEL);
  if (picker == nullptr) return;
  picker->RemoveAllItems();
  for (size_t i = 0; i < app.models.size(); ++i) {
    picker->AddItem(app.models[i].label, reinterpret_cast<void*>(i == 0 ? intptr_t(0) : intptr_t(-1)));
  }
  picker->SetSelectedByIndex(0);
  app.loadedModel = 0;
}

void ReleaseModel() {
  ApplicationState& app = App();
  ScopedLock lock(ModelLock());
  app.renderMesh.reset();
  app.triangleSoup.reset();
  app.kdTree.reset();
}

void ReleaseSamples() {
  ApplicationState& app = App();
  ScopedLock lock(SampleLock());
  app.sampleMap.reset();
  app.sampleVertexBuffer.reset();
}

bool LoadModel(Platform::GraphicsDevice* device, const std::string& path) {
  ApplicationState& app = App();
  ScopedLock lock(ModelLock());
  RenderLib::ErrorList messages;
  std::unique_ptr<RenderLib::ObjModel> model = path.empty() ? nullptr : RenderLib::LoadObj(path.c_str(), &messages);
  if (!model) {
    std::fprintf(stderr, "patinex: cannot read the model %s\n", path.empty() ? "(no file)" : path.c_str());
    return false;
  }
  auto soup = std::make_unique<RenderLib::TriangleSoup>(*model);
  if (soup->GetIndexCount() < 3) {
    std::fprintf(stderr, "patinex: %s holds no triangles; nothing loaded\n", path.c_str());
    return false;
  }
  std::unique_ptr<RenderLib::DeviceMesh> mesh = RenderLib::CreateDeviceMesh(device, model.get(), &messages);
  if (!mesh) {
    std::fprintf(stderr, "patinex: %s cannot be put on the device (%s); nothing loaded\n", path.c_str(),
                 messages.empty() ? "no reason given" : messages.back().c_str());
    return false;
  }
  bool hasUv = false;
  for (const RenderLib::MeshGroup& group : model->groups) {
    for (const RenderLib::VertexNormalUV& vertex : group.vertices) hasUv = hasUv || vertex.u != 0.0f || vertex.v != 0.0f;
  }
  if (!hasUv) std::fprintf(stderr, "patinex: %s has no texture coordinates: its masks stay empty\n", path.c_str());
  model.reset();

  auto tree = std::make_unique<RenderLib::KdTree>();
  tree->Build(*soup, 24, 16);
  for (RenderLib::DeviceMaterial& material : mesh->Materials()) {
    const char* name = material.HasTexture() ? (material.specularEnabled ? "TexturedSpecular" : "TexturedNoSpecular")
                                             : (material.specularEnabled ? "Specular" : "NoSpecular");
    material.technique = MeshEffect().TechniqueByName(name);
  }
  app.renderMesh = std::move(mesh);
  app.triangleSoup = std::move(soup);
  app.kdTree = std::move(tree);
  return true;
}

void FrameLoadedModel() {
  ApplicationState& app = App();
  if (!app.triangleSoup) return;
  const RenderLib::BoundingBox box = app.triangleSoup->GetBoundingBox();
  const RenderLib::Vector3 c = (box.min + box.max) * 0.5f;
  const float r = RenderLib::Length(box.max - c);
  // The shipped models face +z: the eye stands on that side so the user sees their front.
  const Platform::Float3 eye = {c.x, c.y, c.z + 2.0f * r};
  const Platform::Float3 lookAt = {c.x, c.y, c.z};
  app.camera.SetView(&eye, &lookAt);
  app.camera.SetModelCenter(lookAt);
  app.camera.SetModelRadius(r);
  const Platform::SurfaceDescription backBuffer = FrameworkGetBackBufferDescription();
  const float aspect = backBuffer.height > 0 ? float(backBuffer.width) / float(backBuffer.height) : 1.0f;
  app.camera.SetProjection(kFieldOfView, aspect, 0.1f, 4.0f * r);
  app.camera.SetWindow(int(backBuffer.width), int(backBuffer.height), 0.9f);
  // The main light above, to the side and in front of the face; the fill from the other side.
  const float mainLight[3] = {c.x - 20.0f * r, c.y + 20.0f * r, c.z + 20.0f * r};
  const float fillLight[3] = {c.x + 20.0f * r, c.y, c.z};
  app.mesh.lightPositionMain->SetFloatVector(mainLight, 3);
  app.mesh.lightPositionFill->SetFloatVector(fillLight, 3);
}

void LoadSelectedModel() {
  ApplicationState& app = App();
  CUIComboBox* picker = app.parametersPanel.GetComboBox(ID_MODEL);
  const int selected = picker ? picker->GetSelectedIndex() : 0;
  // Choosing the entry already loaded changes nothing (and keeps a run going).
  if (selected == app.loadedModel) return;
  EndRunningSimulation();
  ReleaseModel();
  ReleaseSamples();
  ReleaseMaskViews();
  app.highestWrittenStep.store(-1, std::memory_order_relaxed);
  app.loadedModel = 0;
  if (selected >= 1 && selected < int(app.models.size())) {
    if (LoadModel(FrameworkGetDevice(), app.models[selected].file)) app.loadedModel = selected;
  }
  FrameLoadedModel();
}

void ResampleSurface() {
  ApplicationState& app = App();
  if (!app.triangleSoup || !app.kdTree) return;
  EndRunningSimulation();
  ReleaseSamples();
  ScopedLock lock(SampleLock());
  app.density = ReadClampedEditBox(app.parametersPanel.GetEditBox(ID_DENSITY), 500);
  Simulation::SampleMapBuild build = Simulation::BuildSampleMap(*app.kdTree, *app.triangleSoup, app.density);
  if (!build.map || build.map->Count() == 0) {
    std::fprintf(stderr, "patinex: sampling the surface found no samples\n");
    return;
  }
  app.sampleMap = std::move(build.map);
  app.sampleSpacing = build.spacing;
  Platform::GraphicsDevice* device = FrameworkGetDevice();
  if (device == nullptr ||
      Platform::Failed(device->CreateVertexBuffer(uint32_t(app.sampleMap->Count() * sizeof(PointVertex)), nullptr,
                                                  true, &app.sampleVertexBuffer))) {
    std::fprintf(stderr, "patinex: no room on the device for %u sample points\n", app.sampleMap->Count());
    return;
  }
  FillSampleVertexBuffer();
}

void FillSampleVertexBuffer() {
  ApplicationState& app = App();
  ScopedLock ui(UiLock());
  ScopedLock samples(SampleLock());
  if (!app.sampleMap || !app.sampleVertexBuffer) return;
  auto* vertices = static_cast<PointVertex*>(app.sampleVertexBuffer->MapDiscard());
  if (vertices == nullptr) return;
  const Simulation::SurfaceSample* items = app.sampleMap->Items();
  for (uint32_t i = 0; i < app.sampleMap->Count(); ++i) {
    const float d = items[i].dirt;
    vertices[i] = {{items[i].position.x, items[i].position.y, items[i].position.z}, {d, d, d, 1.0f}};
  }
  app.sampleVertexBuffer->Unmap();
}
