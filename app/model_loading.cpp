#include "app/model_loading.h"

#include <cctype>
#include <cstdio>
#include <filesystem>

#include "app/application_state.h"
#include "app/control_ids.h"
#include "app/mask_folder.h"
#include "app/scene_rendering.h"
#include "app/simulation_control.h"
#include "app/status_line.h"
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
  picker->SetSelectedByIndex(app.loadedModel);
}

void LoadSelectedModel() {
  ApplicationState& app = App();
  CUIComboBox* picker = app.parametersPanel.GetComboBox(ID_MODEL);
  const int selected = picker ? picker->GetSelectedIndex() : 0;
  // Choosing the entry already loaded changes nothing (and keeps a run going).
  if (selected == app.loadedModel) return;
  const bool runEnded = SimulationKept();
  EndRunningSimulation();
  ReleaseModel();
  ReleaseSamples();
  ReleaseMaskViews();
  app.loadedModel = 0;
  SetStatusNotice("");
  SetStatusDetail(runEnded ? "The run on the previous model was stopped; its masks stay." : "");
  if (selected >= 1 && selected < int(app.models.size())) {
    const ModelEntry& entry = app.models[selected];
    std::string why;
    if (LoadModel(FrameworkGetDevice(), entry.file, &why)) {
      app.loadedModel = selected;
      char text[160];
      std::snprintf(text, sizeof text, "%s: %u triangles. Press Weather.", entry.label.c_str(),
                    app.triangleSoup->GetIndexCount() / 3);
      SetStatusActivity(text);
    } else {
      const std::string file = entry.file.empty() ? entry.label : ShownFolder(entry.file);
      SetStatusActivity("Cannot read " + file + ".");
      if (!why.empty()) why[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(why[0])));
      SetStatusDetail(why + ".");
    }
  } else {
    SetStatusActivity("Pick a model, then press Weather.");
  }
  FrameLoadedModel();
}

void ReleaseModel() {
  ApplicationState& app = App();
  // A sampling of this model is no longer wanted; it holds the model until it stops.
  CancelResampling();
  ScopedLock lock(ModelLock());
  app.renderMesh.reset();
  app.triangleSoup.reset();
  app.kdTree.reset();
  app.objModel.reset();
  MarkSceneChanged();
}

void ReleaseDeviceMesh() {
  ScopedLock lock(ModelLock());
  App().renderMesh.reset();
}

namespace {

std::string FailedLoad(const std::string& path, const std::string& reason) {
  std::fprintf(stderr, "patinex: cannot load the model %s: %s\n", path.empty() ? "(no file)" : path.c_str(),
               reason.c_str());
  return reason;
}

}  // namespace

bool LoadModel(Platform::GraphicsDevice* device, const std::string& path, std::string* why) {
  ApplicationState& app = App();
  std::string ignored;
  std::string& reason = why != nullptr ? *why : ignored;
  ScopedLock lock(ModelLock());
  if (path.empty()) {
    reason = FailedLoad(path, "no media folder was found, beside the program or in the current folder");
    return false;
  }
  RenderLib::ErrorList messages;
  std::string failure;
  std::unique_ptr<RenderLib::ObjModel> model = RenderLib::LoadModelFile(path, &messages, failure);
  if (!model) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
      reason = FailedLoad(path, "there is no such file");
    } else {
      // The reader's reason starts with the file's name, which the window shows beside it.
      const std::string named = path + ": ";
      reason = FailedLoad(path, failure.rfind(named, 0) == 0 ? failure.substr(named.size()) : failure);
    }
    return false;
  }
  auto soup = std::make_unique<RenderLib::TriangleSoup>(*model);
  if (soup->GetIndexCount() < 3) {
    reason = FailedLoad(path, "it holds no triangles");
    return false;
  }
  messages.clear();
  std::unique_ptr<Viewer::DeviceMesh> mesh = Viewer::CreateDeviceMesh(device, model.get(), &messages);
  if (!mesh) {
    reason = FailedLoad(path, "the device refused it (" +
                                  (messages.empty() ? std::string("no reason given") : messages.back()) + ")");
    return false;
  }
  bool hasUv = false;
  for (const RenderLib::MeshGroup& group : model->groups) {
    for (const RenderLib::VertexNormalUV& vertex : group.vertices) hasUv = hasUv || vertex.u != 0.0f || vertex.v != 0.0f;
  }
  if (!hasUv) std::fprintf(stderr, "patinex: %s has no texture coordinates: its masks stay empty\n", path.c_str());

  auto tree = std::make_unique<RenderLib::KdTree>();
  tree->Build(*soup, 24, 16);
  app.meshEffect.AssignMaterialTechniques(*mesh);
  app.renderMesh = std::move(mesh);
  app.triangleSoup = std::move(soup);
  app.kdTree = std::move(tree);
  app.objModel = std::move(model);
  MarkSceneChanged();
  return true;
}

bool RebuildDeviceMesh(Platform::GraphicsDevice* device, std::string* why) {
  ApplicationState& app = App();
  {
    ScopedLock lock(ModelLock());
    app.renderMesh.reset();
    if (!app.objModel) return true;
    RenderLib::ErrorList messages;
    app.renderMesh = Viewer::CreateDeviceMesh(device, app.objModel.get(), &messages);
    if (!app.renderMesh) {
      if (why != nullptr) *why = messages.empty() ? std::string("no reason given") : messages.back();
      return false;
    }
    app.meshEffect.AssignMaterialTechniques(*app.renderMesh);
  }
  if (app.triangleSoup) app.meshEffect.PlaceLights(Viewer::BoundsOfBox(app.triangleSoup->GetBoundingBox()));
  MarkSceneChanged();
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
  MarkSceneChanged();
}
