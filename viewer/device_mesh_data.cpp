#include "viewer/device_mesh_data.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <numeric>
#include <utility>

#include "renderlib/vertex_frames.h"

namespace Viewer {
namespace {

// Extras that do not go one a vertex are not taken: the group draws without them.
bool HasExtras(const RenderLib::MeshGroup& group) {
  return !group.extras.empty() && group.extras.size() == group.vertices.size();
}

// Gathers every group's vertices (with their extras when any group has them) and faces; the
// faces' indices are offset by the vertices of the groups before them. faceExtras: one a face,
// whether its group has extras.
bool GatherFaces(const RenderLib::ObjModel& model, DeviceMeshData* data, std::vector<uint8_t>* faceExtras) {
  data->vertices.reserve(size_t(model.TotalVertexCount()));
  data->indices.reserve(size_t(model.TotalIndexCount()));
  const bool anyExtras = std::any_of(model.groups.begin(), model.groups.end(), HasExtras);
  uint32_t base = 0;
  for (const RenderLib::MeshGroup& group : model.groups) {
    const int32_t vertexCount = int32_t(group.vertices.size());
    if (group.indices.size() % 3 != 0) return false;
    const bool extras = HasExtras(group);
    if (anyExtras) {
      if (extras) {
        data->extras.insert(data->extras.end(), group.extras.begin(), group.extras.end());
      } else {
        data->extras.resize(data->extras.size() + group.vertices.size());
      }
    }
    faceExtras->insert(faceExtras->end(), group.indices.size() / 3, uint8_t(extras));
    for (int32_t index : group.indices) {
      if (index < 0 || index >= vertexCount) return false;
      data->indices.push_back(base + uint32_t(index));
    }
    const uint32_t attribute = group.materialIndex < 0 ? kNoMaterialAttribute : uint32_t(group.materialIndex);
    data->attributes.insert(data->attributes.end(), group.indices.size() / 3, attribute);
    // The tangent's w carries the frame's handedness (+1 or -1): a mirrored chart's normal map
    // tilts along -cross(normal, tangent), as the export's frames have it.
    const std::vector<float> handedness = RenderLib::TangentHandedness(group);
    for (size_t k = 0; k < group.vertices.size(); ++k) {
      DeviceVertex vertex = MakeDeviceVertex(group.vertices[k]);
      vertex.tangent[3] = handedness[k];
      data->vertices.push_back(vertex);
    }
    base += uint32_t(vertexCount);
  }
  return !data->attributes.empty();
}

// Stable sort of the faces by attribute, then without extras before with, keeping each subset's
// faces in file order.
void SortFacesByAttribute(DeviceMeshData* data, std::vector<uint8_t>* faceExtras) {
  const size_t faceCount = data->attributes.size();
  std::vector<uint32_t> order(faceCount);
  std::iota(order.begin(), order.end(), 0u);
  const auto key = [&](uint32_t face) { return std::pair(data->attributes[face], (*faceExtras)[face]); };
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return key(a) < key(b); });
  std::vector<uint32_t> indices(data->indices.size());
  std::vector<uint32_t> attributes(faceCount);
  std::vector<uint8_t> extras(faceCount);
  for (size_t face = 0; face < faceCount; ++face) {
    std::copy_n(data->indices.begin() + ptrdiff_t(order[face]) * 3, 3, indices.begin() + ptrdiff_t(face) * 3);
    attributes[face] = data->attributes[order[face]];
    extras[face] = (*faceExtras)[order[face]];
  }
  data->indices.swap(indices);
  data->attributes.swap(attributes);
  faceExtras->swap(extras);
}

void FillAttributeTable(DeviceMeshData* data, const std::vector<uint8_t>& faceExtras) {
  const uint32_t faceCount = uint32_t(data->attributes.size());
  for (uint32_t start = 0; start < faceCount;) {
    uint32_t end = start;
    while (end < faceCount && data->attributes[end] == data->attributes[start] &&
           faceExtras[end] == faceExtras[start]) {
      ++end;
    }
    data->attributeTable.push_back({data->attributes[start], start, end - start, 0, 0, faceExtras[start] != 0});
    start = end;
  }
}

// Each subset is drawn on its own, so the cache order is worked out within each range.
void OptimizeVertexCache(DeviceMeshData* data) {
  std::vector<uint32_t> reordered(data->indices.size());
  for (const AttributeRange& range : data->attributeTable) {
    const size_t first = size_t(range.faceStart) * 3;
    const size_t count = size_t(range.faceCount) * 3;
    meshopt_optimizeVertexCache(reordered.data() + first, data->indices.data() + first, count,
                                data->vertices.size());
  }
  data->indices.swap(reordered);
}

// Renumbers the vertices in the order the sorted faces first use them. A vertex belongs to one
// group and so to one attribute, which makes each subset's vertices one contiguous range.
void RenumberVertices(DeviceMeshData* data) {
  std::vector<uint32_t> remap(data->vertices.size());
  const size_t used = meshopt_optimizeVertexFetchRemap(remap.data(), data->indices.data(), data->indices.size(),
                                                       data->vertices.size());
  std::vector<DeviceVertex> vertices(used);
  std::vector<RenderLib::VertexExtras> extras(data->extras.empty() ? 0 : used);
  for (size_t old = 0; old < remap.size(); ++old) {
    if (remap[old] == ~0u) continue;
    vertices[remap[old]] = data->vertices[old];
    if (!extras.empty()) extras[remap[old]] = data->extras[old];
  }
  for (uint32_t& index : data->indices) index = remap[index];
  data->vertices.swap(vertices);
  data->extras.swap(extras);

  for (AttributeRange& range : data->attributeTable) {
    auto first = data->indices.begin() + ptrdiff_t(range.faceStart) * 3;
    auto [low, high] = std::minmax_element(first, first + ptrdiff_t(range.faceCount) * 3);
    range.vertexStart = *low;
    range.vertexCount = *high - *low + 1;
  }
}

}  // namespace

bool BuildDeviceMeshData(const RenderLib::ObjModel& model, DeviceMeshData* data) {
  *data = DeviceMeshData();
  std::vector<uint8_t> faceExtras;
  if (!GatherFaces(model, data, &faceExtras)) {
    *data = DeviceMeshData();
    return false;
  }
  SortFacesByAttribute(data, &faceExtras);
  FillAttributeTable(data, faceExtras);
  OptimizeVertexCache(data);
  RenumberVertices(data);
  return true;
}

}  // namespace Viewer
