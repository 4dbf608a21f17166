#pragma once

#include <cstdint>
#include <vector>

#include "renderlib/material.h"
#include "renderlib/mesh_group.h"
#include "renderlib/reference_counted.h"

namespace RenderLib {

// A model as the OBJ loader reads it: one group per material, and the materials. Counts are
// signed 32-bit, as the soup and the kd-tree use them; the loader keeps each list within that.
struct ObjModel : ReferenceCounted {
  std::vector<MeshGroup> groups;
  std::vector<MaterialHandle> materials;

  int32_t TotalIndexCount() const {
    int32_t total = 0;
    for (const MeshGroup& group : groups) total += static_cast<int32_t>(group.indices.size());
    return total;
  }

  int32_t TotalVertexCount() const {
    int32_t total = 0;
    for (const MeshGroup& group : groups) total += static_cast<int32_t>(group.vertices.size());
    return total;
  }
};

}  // namespace RenderLib
