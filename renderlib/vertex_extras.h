#pragma once

#include <type_traits>

namespace RenderLib {

// What a vertex carries beside VertexNormalUV, kept only for the groups that need it (a
// material laying a map on a second texture coordinate set or through a transform, or vertex
// colours): both texture coordinate sets as the file gives them, untransformed, with v turned to
// grow upwards as in VertexNormalUV (0 where the file has no such set), and the vertex colour
// (linear RGBA; white where the file gives none).
struct VertexExtras {
  float texCoord[2][2] = {{0.0f, 0.0f}, {0.0f, 0.0f}};
  float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
};

static_assert(std::is_trivially_copyable_v<VertexExtras>);
static_assert(sizeof(VertexExtras) == 32);

}  // namespace RenderLib
