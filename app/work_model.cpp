#include "app/work_model.h"

#include <cstdio>
#include <filesystem>

#include "renderlib/model_file.h"
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

bool WorkModel::Load(Platform::GraphicsDevice* device, const std::string& path, Viewer::MeshEffect& effect,
                     std::string* why) {
  std::string ignored;
  std::string& reason = why != nullptr ? *why : ignored;
  ThreadingLib::ScopedCriticalLock hold(lock);
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
  effect.AssignMaterialTechniques(*mesh);
  renderMesh = std::move(mesh);
  triangleSoup = std::move(soup);
  kdTree = std::move(tree);
  objModel = std::move(model);
  changed();
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
