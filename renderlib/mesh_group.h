#pragma once

#include <cstdint>

#include "renderlib/growable_list.h"
#include "renderlib/vertex_normal_uv.h"

namespace RenderLib {

// The triangles of one material: three indices per triangle into the group's own vertices.
struct MeshGroup {
  GrowableList<int32_t> indices{16};
  GrowableList<VertexNormalUV> vertices{16};
  int32_t materialIndex = -1;  // into the model's materials; -1 = no material
};

}  // namespace RenderLib
