#pragma once

#include <cstdint>
#include <vector>

#include "renderlib/vertex_normal_uv.h"

namespace RenderLib {

// The triangles of one material: three indices per triangle into the group's own vertices.
struct MeshGroup {
  std::vector<int32_t> indices;
  std::vector<VertexNormalUV> vertices;
  int32_t materialIndex = -1;  // into the model's materials; -1 = no material
};

}  // namespace RenderLib
