#pragma once

#include <type_traits>

#include "renderlib/vector3.h"

namespace RenderLib {

// The vertex of models, soups and device meshes; arrays of it are copied as plain memory.
struct VertexNormalUV {
  Vector3 position;
  Vector3 normal;
  Vector3 tangent;  // unit, along increasing u
  float u = 0.0f;
  float v = 0.0f;  // as written in the OBJ file, not flipped
};

static_assert(std::is_trivially_copyable_v<VertexNormalUV>);
static_assert(sizeof(VertexNormalUV) == 44);

}  // namespace RenderLib
