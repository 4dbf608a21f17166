#include "app/work_model.h"

#include <cstdio>
#include <filesystem>

#include "renderlib/gltf_source.h"
#include "renderlib/model_file.h"
#include "simulation/texture_layout.h"
#include "threadinglib/scoped_critical_lock.h"
#include "viewer/scene_placement.h"

namespace {

std::string FailedLoad(const std::string& path, const std::string& reason) {
  std::fprintf(stderr, "patinex: cannot load the model %s: %s\n", path.empty() ? "(no file)" : path.c_str(),
               reason.c_str());
  return reason;
}

}  // namespace

void WorkModel::Release() {
  ThreadingLib::ScopedCriticalLock hold(lock);
  layoutRefusal.clear();
  tilingWarning.clear();
  renderMesh.reset();
  triangleSoup.reset();
  kdTree.reset();
  objModel.reset();
  changed();
}

void WorkModel::ReleaseDeviceMesh() {
  ThreadingLib::ScopedCriticalLock hold(lock);
  renderMesh.reset();
}

std::optional<ModelForms> WorkModel::Read(Platform::GraphicsDevice* device, const std::string& path,
                                          Viewer::MeshEffect& effect, std::string* why) {
  std::string ignored;
  std::string& reason = why != nullptr ? *why : ignored;
  if (path.empty()) {
    reason = FailedLoad(path, "no media folder was found, beside the program or in the current folder");
    return std::nullopt;
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
    return std::nullopt;
  }
  auto soup = std::make_unique<RenderLib::TriangleSoup>(*model);
  if (soup->GetIndexCount() < 3) {
    reason = FailedLoad(path, "it holds no triangles");
    return std::nullopt;
  }
  messages.clear();
  std::unique_ptr<Viewer::DeviceMesh> mesh = Viewer::CreateDeviceMesh(device, model.get(), &messages);
  if (!mesh) {
    reason = FailedLoad(path, "the device refused it (" +
                                  (messages.empty() ? std::string("no reason given") : messages.back()) + ")");
    return std::nullopt;
  }
  auto tree = std::make_unique<RenderLib::KdTree>();
  tree->Build(*soup, 24, 16);
  effect.AssignMaterialTechniques(*mesh);
  ModelForms forms;
  // The masks are baked in texture space: a layout they cannot use is known before any run.
  const std::string name = std::filesystem::path(path).filename().string();
  const Simulation::TextureLayout layout =
      Simulation::AnalyseTextureLayout(*soup, RenderLib::RepeatedPlacementTriangles(*model));
  forms.layoutRefusal = Simulation::TextureLayoutRefusal(layout, name);
  forms.tilingWarning = Simulation::TextureLayoutTilingWarning(layout, name);
  if (!forms.layoutRefusal.empty()) std::fprintf(stderr, "patinex: %s\n", forms.layoutRefusal.c_str());
  if (!forms.tilingWarning.empty()) std::fprintf(stderr, "patinex: warning: %s\n", forms.tilingWarning.c_str());
  forms.asRead = std::move(model);
  forms.deviceMesh = std::move(mesh);
  forms.soup = std::move(soup);
  forms.kdTree = std::move(tree);
  return forms;
}

void WorkModel::Adopt(ModelForms forms) {
  {
    ThreadingLib::ScopedCriticalLock hold(lock);
    renderMesh = std::move(forms.deviceMesh);
    triangleSoup = std::move(forms.soup);
    kdTree = std::move(forms.kdTree);
    objModel = std::move(forms.asRead);
  }
  layoutRefusal = std::move(forms.layoutRefusal);
  tilingWarning = std::move(forms.tilingWarning);
  changed();
}

bool WorkModel::Load(Platform::GraphicsDevice* device, const std::string& path, Viewer::MeshEffect& effect,
                     std::string* why) {
  std::optional<ModelForms> forms = Read(device, path, effect, why);
  if (!forms) return false;
  Adopt(std::move(*forms));
  return true;
}

bool WorkModel::RebuildDeviceMesh(Platform::GraphicsDevice* device, Viewer::MeshEffect& effect, std::string* why) {
  {
    ThreadingLib::ScopedCriticalLock hold(lock);
    renderMesh.reset();
    if (!objModel) return true;
    RenderLib::ErrorList messages;
    renderMesh = Viewer::CreateDeviceMesh(device, objModel.get(), &messages);
    if (!renderMesh) {
      if (why != nullptr) *why = messages.empty() ? std::string("no reason given") : messages.back();
      return false;
    }
    effect.AssignMaterialTechniques(*renderMesh);
  }
  if (triangleSoup) effect.PlaceLights(Viewer::BoundsOfBox(triangleSoup->GetBoundingBox()));
  changed();
  return true;
}
