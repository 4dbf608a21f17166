#include "renderlib/gltf_source.h"

#include <tiny_gltf.h>

#include <climits>
#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "renderlib/obj_model.h"

namespace RenderLib {

GltfSource::GltfSource() = default;
GltfSource::~GltfSource() = default;

std::vector<RepeatedMesh> RepeatedMeshes(const ObjModel& model) {
  if (!model.gltfSource) return {};
  // Placements of each mesh: those of its first primitive count them.
  std::map<int32_t, int32_t> placements;
  for (const PlacedPrimitive& placed : model.gltfSource->placed) {
    if (placed.primitive == 0) ++placements[placed.mesh];
  }
  std::vector<RepeatedMesh> repeated;
  const std::vector<std::string>& names = model.gltfSource->meshNames;
  for (const auto& [mesh, count] : placements) {
    if (count < 2) continue;
    std::string name = mesh >= 0 && size_t(mesh) < names.size() ? names[size_t(mesh)] : std::string();
    if (name.empty()) name = "mesh " + std::to_string(mesh);
    repeated.push_back({name, count});
  }
  return repeated;
}

std::vector<bool> RepeatedPlacementTriangles(const ObjModel& model) {
  if (!model.gltfSource) return {};
  // Each group's vertex ranges that belong to a repeated placement, in vertex order.
  std::vector<std::vector<std::pair<int32_t, int32_t>>> repeatsOf(model.groups.size());
  std::set<std::pair<int32_t, int32_t>> seen;
  bool any = false;
  for (const PlacedPrimitive& placed : model.gltfSource->placed) {
    if (seen.insert({placed.mesh, placed.primitive}).second) continue;
    if (placed.group < 0 || size_t(placed.group) >= model.groups.size()) continue;
    repeatsOf[size_t(placed.group)].emplace_back(placed.firstVertex, placed.firstVertex + placed.vertexCount);
    any = true;
  }
  if (!any) return {};
  std::vector<bool> repeated;
  repeated.reserve(size_t(model.TotalIndexCount() / 3));
  for (size_t g = 0; g < model.groups.size(); ++g) {
    std::vector<std::pair<int32_t, int32_t>>& ranges = repeatsOf[g];
    std::sort(ranges.begin(), ranges.end());
    const std::vector<int32_t>& indices = model.groups[g].indices;
    for (size_t i = 0; i + 2 < indices.size(); i += 3) {
      // A triangle's corners all lie in the placement that wrote it.
      const int32_t corner = indices[i];
      const auto after = std::upper_bound(ranges.begin(), ranges.end(), std::make_pair(corner, INT32_MAX));
      repeated.push_back(after != ranges.begin() && corner < std::prev(after)->second);
    }
  }
  return repeated;
}

}  // namespace RenderLib
