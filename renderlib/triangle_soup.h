#pragma once

#include <cstdint>
#include <vector>

#include "renderlib/bounding_box.h"
#include "renderlib/material.h"
#include "renderlib/obj_model.h"
#include "renderlib/vertex_normal_uv.h"

namespace RenderLib {

// A loaded model as the kd-tree and the simulation see it: all groups flattened into one vertex
// array and one index array, triangle t using the vertex indices 3t, 3t + 1 and 3t + 2, with the
// materials and each triangle's material index kept beside them. Read by many threads at once;
// never changes once built.
class TriangleSoup {
public:
  explicit TriangleSoup(const ObjModel& model);
  TriangleSoup(const TriangleSoup&) = delete;
  TriangleSoup& operator=(const TriangleSoup&) = delete;

  int32_t GetIndexCount() const { return static_cast<int32_t>(indices.size()); }
  const int32_t* GetIndices() const { return indices.data(); }
  int32_t GetVertexCount() const { return static_cast<int32_t>(vertices.size()); }
  const VertexNormalUV* GetVertices() const { return vertices.data(); }
  BoundingBox GetBoundingBox() const { return boundingBox; }

  const std::vector<MaterialHandle>& Materials() const { return materials; }
  const std::vector<int32_t>& TriangleMaterials() const { return triangleMaterials; }

private:
  std::vector<int32_t> indices;
  std::vector<VertexNormalUV> vertices;
  std::vector<MaterialHandle> materials;
  std::vector<int32_t> triangleMaterials;
  // Computed once: the soup never changes, and callers ask for the box in hot setup code.
  BoundingBox boundingBox;
};

}  // namespace RenderLib
