#pragma once

#include <cmath>

#include "renderlib/vector3.h"

namespace Simulation {

// Two unit vectors t1, t2 that with the unit vector n form a right-handed frame (t2 = n × t1).
// t1 is built from the two components of n that avoid dividing by a small number. A zero n (the
// normals of a thin sheet's two sides can cancel) gets t1 = (1, 0, 0) instead of a division by
// zero, so its callers never see NaN.
inline void OrthonormalBasis(const RenderLib::Vector3& n, RenderLib::Vector3& t1, RenderLib::Vector3& t2) {
  if (std::fabs(n.x) > std::fabs(n.y)) {
    const float length = std::sqrt(n.x * n.x + n.z * n.z);
    t1 = {-n.z / length, 0.0f, n.x / length};
  } else {
    const float length = std::sqrt(n.y * n.y + n.z * n.z);
    t1 = length > 0.0f ? RenderLib::Vector3{0.0f, n.z / length, -n.y / length} : RenderLib::Vector3{1.0f, 0.0f, 0.0f};
  }
  t2 = RenderLib::Cross(n, t1);
}

}  // namespace Simulation
