#include "renderlib/triangle_soup.h"

namespace RenderLib {

TriangleSoup::TriangleSoup(const ObjModel& model) : materials(model.materials) {
  vertices.reserve(static_cast<size_t>(model.TotalVertexCount()));
  indices.reserve(static_cast<size_t>(model.TotalIndexCount()));
  triangleMaterials.reserve(static_cast<size_t>(model.TotalIndexCount() / 3));
  int32_t vertexBase = 0;
  for (const MeshGroup& group : model.groups) {
    vertices.insert(vertices.end(), group.vertices.begin(), group.vertices.end());
    for (size_t i = 0; i + 2 < group.indices.size(); i += 3) {
      indices.push_back(group.indices[i] + vertexBase);
      indices.push_back(group.indices[i + 1] + vertexBase);
      indices.push_back(group.indices[i + 2] + vertexBase);
      triangleMaterials.push_back(group.materialIndex);
    }
    vertexBase += static_cast<int32_t>(group.vertices.size());
  }
  for (const VertexNormalUV& vertex : vertices) boundingBox.Extend(vertex.position);
}

}  // namespace RenderLib
