#pragma once

#include <cstdint>

#include "renderlib/vector3.h"

namespace Simulation {

// Where a sampling ray met the surface: all a sample's record is made from, a quarter of its
// size. The builder keeps these while the rays are cast and makes the records once, in the
// map's final order.
struct SampleHit {
  RenderLib::Vector3 position;
  int32_t triangle;
  float b1;  // barycentric weights of the triangle's second and third vertex
  float b2;
};

static_assert(sizeof(SampleHit) == 6 * 4);

}  // namespace Simulation
