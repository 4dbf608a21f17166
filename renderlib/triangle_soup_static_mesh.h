#pragma once

#include <cstdint>

#include "renderlib/bounding_box.h"
#include "renderlib/growable_list.h"
#include "renderlib/material.h"
#include "renderlib/obj_model.h"
#include "renderlib/triangle_soup.h"
#include "renderlib/vertex_normal_uv.h"

namespace RenderLib {

// The soup of a loaded model: all groups flattened into one vertex array and one index array,
// with the materials and each triangle's material index kept beside them.
class TriangleSoupStaticMesh final : public TriangleSoup<VertexNormalUV> {
public:
  explicit TriangleSoupStaticMesh(const ObjModel& model);
  TriangleSoupStaticMesh(const TriangleSoupStaticMesh&) = delete;
  TriangleSoupStaticMesh& operator=(const TriangleSoupStaticMesh&) = delete;
  ~TriangleSoupStaticMesh();

  int32_t GetIndexCount() const override { return indices.Count(); }
  const int32_t* GetIndices() const override { return indices.Items(); }
  int32_t GetVertexCount() const override { return vertices.Count(); }
  const VertexNormalUV* GetVertices() const override { return vertices.Items(); }
  BoundingBox GetBoundingBox() const override { return boundingBox; }

  const GrowableList<MaterialHandle>& Materials() const { return materials; }
  const GrowableList<int32_t>& TriangleMaterials() const { return triangleMaterials; }

private:
  GrowableList<int32_t> indices{16};
  GrowableList<VertexNormalUV> vertices{16};
  GrowableList<MaterialHandle> materials{16};
  GrowableList<int32_t> triangleMaterials{16};
  // Computed once: the soup never changes, and callers ask for the box in hot setup code.
  BoundingBox boundingBox;
};

}  // namespace RenderLib
