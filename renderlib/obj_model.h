#pragma once

#include <cstdint>

#include "renderlib/growable_list.h"
#include "renderlib/material.h"
#include "renderlib/mesh_group.h"
#include "renderlib/reference_counted.h"

namespace RenderLib {

// A model as the OBJ loader reads it: one group per material, and the materials.
struct ObjModel : ReferenceCounted {
  GrowableList<MeshGroup> groups{16};
  GrowableList<MaterialHandle> materials{16};

  int32_t TotalIndexCount() const {
    int32_t total = 0;
    for (const MeshGroup& group : groups) total += group.indices.Count();
    return total;
  }

  int32_t TotalVertexCount() const {
    int32_t total = 0;
    for (const MeshGroup& group : groups) total += group.vertices.Count();
    return total;
  }
};

}  // namespace RenderLib
