#include "app/model_loading.h"

#include <cstdio>
#include <filesystem>

#include "app/application_state.h"
#include "app/control_ids.h"
#include "app/mask_folder.h"
#include "app/scene_rendering.h"
#include "app/simulation_control.h"
#include "app/surface_samples.h"
#include "framework/framework.h"
#include "framework/ui_combo_box.h"
#include "renderlib/model_file.h"
#include "viewer/scene_placement.h"

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

void ReleaseModel() {
  ApplicationState& app = App();
  ScopedLock lock(ModelLock());
  app.renderMesh.reset();
  app.triangleSoup.reset();
  app.kdTree.reset();
}

bool LoadModel(Platform::GraphicsDevice* device, const std::string& path) {
  ApplicationState& app = App();
  ScopedLock lock(ModelLock());
  RenderLib::ErrorList messages;
  std::string failure = "no model file given";
  std::unique_ptr<RenderLib::ObjModel> model = path.empty() ? nullptr : RenderLib::LoadModelFile(path, &messages, failure);
  if (!model) {
    std::fprintf(stderr, "patinex: cannot read the model: %s\n", failure.c_str());
    return false;
  }
  auto soup = std::make_unique<RenderLib::TriangleSoupStaticMesh>(*model);
  if (soup->GetIndexCount() < 3) {
    std::fprintf(stderr, "patinex: %s holds no triangles; nothing loaded\n", path.c_str());
    return false;
  }
  std::unique_ptr<Viewer::DeviceMesh> mesh = Viewer::CreateDeviceMesh(device, model.get(), &messages);
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
  app.meshEffect.AssignMaterialTechniques(*mesh);
  app.renderMesh = std::move(mesh);
  app.triangleSoup = std::move(soup);
  app.kdTree = std::move(tree);
  return true;
}

void FrameLoadedModel() {
  ApplicationState& app = App();
  if (!app.triangleSoup) return;
  const Viewer::ModelBounds bounds = Viewer::BoundsOfBox(app.triangleSoup->GetBoundingBox());
  const Viewer::CameraPlacement start = Viewer::StartingCamera(bounds);
  app.camera.SetView(&start.eye, &start.lookAt);
  app.camera.SetModelCenter(start.lookAt);
  app.camera.SetModelRadius(bounds.radius);
  const Platform::SurfaceDescription backBuffer = FrameworkGetBackBufferDescription();
  FitCameraToBackBuffer(backBuffer.width, backBuffer.height);
  app.meshEffect.PlaceLights(bounds);
}
