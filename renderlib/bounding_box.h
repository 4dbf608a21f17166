#pragma once

#include "renderlib/vector3.h"

namespace RenderLib {

// An axis-aligned box. The empty box has min above max on every axis, so that the
// first Extend sets both corners.
struct BoundingBox {
  static constexpr float kLargest = 3.4028235e38f;

  Vector3 min{kLargest, kLargest, kLargest};
  Vector3 max{-kLargest, -kLargest, -kLargest};

  void Extend(const Vector3& p) {
    for (int axis = 0; axis < 3; ++axis) {
      if (!(p[axis] > min[axis])) min[axis] = p[axis];
      if (!(max[axis] > p[axis])) max[axis] = p[axis];
    }
  }

  Vector3 Extent() const { return max - min; }

  float SurfaceArea() const {
    Vector3 e = Extent();
    return 2.0f * (e.x * e.y + e.x * e.z + e.y * e.z);
  }

  // Touching boxes overlap.
  bool Overlaps(const BoundingBox& other) const {
    for (int axis = 0; axis < 3; ++axis) {
      if (!(other.min[axis] <= max[axis] && other.max[axis] >= min[axis])) return false;
    }
    return true;
  }
};

}  // namespace RenderLib
