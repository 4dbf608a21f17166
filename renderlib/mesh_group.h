#pragma once

#include <cstdint>
#include <vector>

#include "renderlib/vertex_extras.h"
#include "renderlib/vertex_normal_uv.h"

namespace RenderLib {

// The triangles of one material: three indices per triangle into the group's own vertices.
// A vertex's u and v are the material's ageing coordinates: where its base colour map is read
// (that map's coordinate set, through its transform), which the masks and the aged textures are
// baked in.
struct MeshGroup {
  std::vector<int32_t> indices;
  std::vector<VertexNormalUV> vertices;
  std::vector<VertexExtras> extras;  // empty, or one a vertex (see VertexExtras)
  int32_t materialIndex = -1;  // into the model's materials; -1 = no material
};

}  // namespace RenderLib
