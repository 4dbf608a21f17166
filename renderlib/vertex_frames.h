#pragma once

#include <cmath>

#include "renderlib/mesh_group.h"
#include "renderlib/vector3.h"

namespace RenderLib {

// The careful path of ScaleToUnit, for lengths whose square leaves the float range.
bool ScaleToUnitByLargest(Vector3& v);

// Scales v to unit length; false, with v unchanged, when v is zero or not finite. Safe for
// any finite vector: where the squared length would overflow or vanish it scales by the
// largest component first, so neither tiny nor huge components lose the direction.
inline bool ScaleToUnit(Vector3& v) {
  float squared = Dot(v, v);
  if (squared > 1e-30f && squared < 1e30f) {
    v *= 1.0f / std::sqrt(squared);
    return true;
  }
  return ScaleToUnitByLargest(v);
}

// True when every component is finite and the length is 1 within float rounding.
inline bool IsUnit(const Vector3& v) {
  // A NaN or infinite component makes the difference NaN or infinite, which fails the test.
  return std::fabs(Dot(v, v) - 1.0f) <= 1e-4f;
}

// Some unit vector perpendicular to the unit vector n.
Vector3 AnyPerpendicular(const Vector3& n);

// Sums the face normals Cross(pc - pa, pb - pa) of the group's triangles into their vertices'
// normals (from zero) and scales each sum to unit length.
void ComputeVertexNormals(MeshGroup& group);

// Gives every vertex a unit normal: a normal that is zero, not finite or not of unit length
// and cannot be scaled to it takes the unit normal of the first triangle that uses the vertex,
// or (0, 0, 1) when that triangle has no area either.
void RepairNormals(MeshGroup& group);

}  // namespace RenderLib
