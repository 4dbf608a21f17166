#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "renderlib/material.h"
#include "renderlib/mesh_group.h"
#include "renderlib/reference_counted.h"

namespace RenderLib {

struct GltfSource;

// A model as the OBJ loader reads it: one group per material, and the materials. Counts are
// signed 32-bit, as the soup and the kd-tree use them; the loader keeps each list within that.
struct ObjModel : ReferenceCounted {
  std::vector<MeshGroup> groups;
  std::vector<MaterialHandle> materials;
  // The glTF document the model was read from, kept so that an export can carry over what the
  // groups do not hold (nodes, skins, animations, cameras, lights, extensions); none for OBJ.
  // For a glTF model materials[i] is the file's material i.
  std::shared_ptr<const GltfSource> gltfSource;

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
