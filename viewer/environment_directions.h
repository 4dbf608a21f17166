#pragma once

#include <cmath>

#include "platform/matrix_math.h"

// How an equirectangular environment picture maps onto directions, in world space with y up:
// the centre column looks along -z, the way the camera looks at a model from its front, and +x
// lies a quarter turn to the right of it (u = 0.75), so that the picture seen from there reads
// as it does in an image viewer, not mirrored; +z is the left and right edge; the top row looks
// straight up (+y), the bottom row straight down.
// u and v run from 0 to 1 across the picture, v = 0 at its top row, as textures are uploaded.
// media/environment_light.glsl and tools/media/make_environments.py follow the same layout.
namespace Viewer {

inline constexpr float kPi = 3.14159265358979f;

inline Platform::Float3 EquirectDirection(float u, float v) {
  const float phi = (u - 0.5f) * 2.0f * kPi;
  const float theta = v * kPi;
  const float s = std::sin(theta);
  return {s * std::sin(phi), std::cos(theta), -s * std::cos(phi)};
}

// u in [0, 1), v in [0, 1], for a unit direction.
inline void EquirectCoordinates(Platform::Float3 d, float* u, float* v) {
  *u = 0.5f + std::atan2(d.x, -d.z) / (2.0f * kPi);
  *v = std::acos(std::fmax(-1.0f, std::fmin(1.0f, d.y))) / kPi;
}

}  // namespace Viewer
