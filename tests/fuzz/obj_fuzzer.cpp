#include <cmath>
#include <cstdlib>

#include "renderlib/obj_loader.h"
#include "renderlib/triangle_soup.h"
#include "tests/fuzz/fuzz_model_folder.h"

namespace {

bool IsUnit(const RenderLib::Vector3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::fabs(RenderLib::Length(v) - 1.0f) < 1e-3f;
}

// What every loaded model promises: whole triangles indexing their own group, no empty group,
// material indices in range, unit normals and tangents at right angles.
void Check(const RenderLib::ObjModel& model) {
  for (const RenderLib::MeshGroup& group : model.groups) {
    if (group.indices.empty() || group.indices.size() % 3 != 0) std::abort();
    if (group.materialIndex < -1 || group.materialIndex >= int32_t(model.materials.size())) std::abort();
    for (int32_t index : group.indices) {
      if (index < 0 || index >= int32_t(group.vertices.size())) std::abort();
    }
    for (const RenderLib::VertexNormalUV& vertex : group.vertices) {
      if (!IsUnit(vertex.normal) || !IsUnit(vertex.tangent)) std::abort();
      if (std::fabs(RenderLib::Dot(vertex.normal, vertex.tangent)) > 1e-2f) std::abort();
    }
  }
  CheckMaterials(model);
  RenderLib::TriangleSoup soup(model);
  if (soup.GetIndexCount() != model.TotalIndexCount() || soup.GetVertexCount() != model.TotalVertexCount()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const FuzzModelFolder folder;
  std::string path = folder.Write("model.obj", std::string(reinterpret_cast<const char*>(data), size));
  RenderLib::ErrorList messages;
  std::unique_ptr<RenderLib::ObjModel> model = RenderLib::LoadObj(path.c_str(), &messages);
  if (!model) std::abort();  // the file is there: a model always comes back
  for (const std::string& message : messages) {
    if (message.empty()) std::abort();
  }
  Check(*model);
  return 0;
}
