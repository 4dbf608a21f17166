#include <cmath>
#include <cstdlib>

#include "renderlib/gltf_loader.h"
#include "renderlib/gltf_source.h"
#include "renderlib/triangle_soup.h"
#include "tests/fuzz/fuzz_model_folder.h"

namespace {

bool IsUnit(const RenderLib::Vector3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) &&
         std::fabs(RenderLib::Length(v) - 1.0f) < 1e-3f;
}

bool IsFinite(const RenderLib::Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// What every model read from a glTF file promises: whole triangles indexing their own group, no
// empty group, material indices in range, finite positions, unit normals and tangents at right
// angles, extras for none or all of a group's vertices, and placements within their groups.
void Check(const RenderLib::ObjModel& model) {
  for (const RenderLib::MeshGroup& group : model.groups) {
    if (group.indices.size() == 0 || group.indices.size() % 3 != 0) std::abort();
    if (!group.extras.empty() && group.extras.size() != group.vertices.size()) std::abort();
    if (group.materialIndex < -1 || group.materialIndex >= int32_t(model.materials.size())) std::abort();
    for (int32_t index : group.indices) {
      if (index < 0 || index >= int32_t(group.vertices.size())) std::abort();
    }
    for (const RenderLib::VertexNormalUV& vertex : group.vertices) {
      if (!IsFinite(vertex.position) || !IsUnit(vertex.normal) || !IsUnit(vertex.tangent)) std::abort();
      if (std::fabs(RenderLib::Dot(vertex.normal, vertex.tangent)) > 1e-2f) std::abort();
    }
  }
  if (model.gltfSource) {
    for (const RenderLib::PlacedPrimitive& placed : model.gltfSource->placed) {
      if (placed.group < 0 || size_t(placed.group) >= model.groups.size() || placed.firstVertex < 0 ||
          placed.vertexCount <= 0 ||
          size_t(placed.firstVertex) + size_t(placed.vertexCount) > model.groups[size_t(placed.group)].vertices.size())
        std::abort();
    }
  }
  CheckMaterials(model);
  RenderLib::TriangleSoup soup(model);
  if (soup.GetIndexCount() != model.TotalIndexCount() || soup.GetVertexCount() != model.TotalVertexCount())
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const FuzzModelFolder folder;
  std::string path = folder.Write("model.gltf", std::string(reinterpret_cast<const char*>(data), size));
  RenderLib::ErrorList messages;
  std::unique_ptr<RenderLib::ObjModel> model = RenderLib::LoadGltf(path.c_str(), &messages);
  // A refusal (the last message of a file not read) names the file and says why; notes say
  // something without naming the file, which whoever shows them does, once.
  for (size_t i = 0; i < messages.size(); ++i) {
    const bool refusal = !model && i + 1 == messages.size();
    const bool named = messages[i].rfind(path + ": ", 0) == 0;
    if (messages[i].empty() || named != refusal || messages[i].size() == path.size() + 2) std::abort();
  }
  if (!model) {
    if (messages.empty()) std::abort();
    return 0;
  }
  Check(*model);
  return 0;
}
