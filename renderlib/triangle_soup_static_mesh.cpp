#include "renderlib/triangle_soup_static_mesh.h"

#include <cstring>

namespace RenderLib {

TriangleSoupStaticMesh::TriangleSoupStaticMesh(const ObjModel& model) {
  vertices.SetCount(model.TotalVertexCount());
  int32_t vertexBase = 0;
  for (const MeshGroup& group : model.groups) {
    if (group.vertices.Count() > 0) {
      std::memcpy(vertices.Items() + vertexBase, group.vertices.Items(),
                  sizeof(VertexNormalUV) * static_cast<size_t>(group.vertices.Count()));
    }
    vertexBase += group.vertices.Count();
  }

  materials.SetCount(model.materials.Count());
  for (int32_t i = 0; i < model.materials.Count(); ++i) materials[i] = model.materials[i];

  indices.SetCount(model.TotalIndexCount());
  triangleMaterials.SetCount(model.TotalIndexCount() / 3);
  int32_t next = 0;
  int32_t triangle = 0;
  vertexBase = 0;
  for (const MeshGroup& group : model.groups) {
    for (int32_t i = 0; i + 2 < group.indices.Count(); i += 3) {
      indices[next++] = group.indices[i] + vertexBase;
      indices[next++] = group.indices[i + 1] + vertexBase;
      indices[next++] = group.indices[i + 2] + vertexBase;
      triangleMaterials[triangle++] = group.materialIndex;
    }
    vertexBase += group.vertices.Count();
  }

  for (const VertexNormalUV& vertex : vertices) boundingBox.Extend(vertex.position);
}

// Members go in reverse order: triangle materials, material handles, vertices, indices.
TriangleSoupStaticMesh::~TriangleSoupStaticMesh() = default;

}  // namespace RenderLib
