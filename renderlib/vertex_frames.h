#pragma once

#include <cmath>
#include <vector>

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

// Scales a vertex normal to unit length where it can; otherwise sets it to zero, which marks the
// vertex as waiting for FillZeroNormals, and returns false.
inline bool ScaleNormalOrMarkWaiting(Vector3& normal) {
  if (IsUnit(normal) || ScaleToUnit(normal)) return true;
  normal = Vector3();
  return false;
}

// How a triangle's texture runs across it: the directions in which u and v grow, each scaled by
// the determinant of the texture coordinates' edges (twice the signed texture area), and that
// determinant. Dividing by it gives dP/du and dP/dv; its sign tells a mirrored chart.
struct TriangleTextureAxes {
  Vector3 alongU;
  Vector3 alongV;
  float determinant = 0.0f;
};

inline TriangleTextureAxes TextureAxesOf(const VertexNormalUV& va, const VertexNormalUV& vb, const VertexNormalUV& vc) {
  const Vector3 e1 = vb.position - va.position, e2 = vc.position - va.position;
  const float du1 = vb.u - va.u, dv1 = vb.v - va.v;
  const float du2 = vc.u - va.u, dv2 = vc.v - va.v;
  return {e1 * dv2 - e2 * dv1, e2 * du1 - e1 * du2, du1 * dv2 - du2 * dv1};
}

// Adds the direction of increasing u over triangle (a, b, c) to its three vertices' tangents;
// a triangle whose texture coordinates have no area adds nothing. Readers that build a group
// call it as they write each triangle, the vertices' tangents starting from zero.
inline void AddTriangleTangent(VertexNormalUV* vertices, int32_t a, int32_t b, int32_t c) {
  const TriangleTextureAxes axes = TextureAxesOf(vertices[a], vertices[b], vertices[c]);
  if (axes.determinant == 0.0f || !std::isfinite(axes.determinant)) return;
  Vector3 tangent = axes.alongU * (1.0f / axes.determinant);
  if (!std::isfinite(tangent.x) || !std::isfinite(tangent.y) || !std::isfinite(tangent.z)) return;
  vertices[a].tangent += tangent;
  vertices[b].tangent += tangent;
  vertices[c].tangent += tangent;
}

// Turns every vertex's summed tangent into a unit tangent at right angles to its normal, or
// some perpendicular where the sum gives no direction.
void FinishTangents(MeshGroup& group);

// Fills the unit tangent (along increasing u) of every vertex of the group: AddTriangleTangent
// over its triangles, then FinishTangents.
void ComputeTangents(MeshGroup& group);

// The handedness of every vertex's frame (normal, tangent): +1 where Cross(normal, tangent)
// points along increasing v, -1 where the faces around the vertex, weighted by their area,
// have it run the other way (a mirrored chart).
std::vector<float> TangentHandedness(const MeshGroup& group);

// Sums the face normals Cross(pc - pa, pb - pa) of the group's triangles into their vertices'
// normals (from zero) and scales each sum to unit length.
void ComputeVertexNormals(MeshGroup& group);

// Gives every vertex a unit normal: a normal that is zero, not finite or not of unit length
// and cannot be scaled to it takes the unit normal of the first triangle that uses the vertex,
// or (0, 0, 1) when that triangle has no area either.
void RepairNormals(MeshGroup& group);

// The second half of RepairNormals, for readers that scaled every normal with
// ScaleNormalOrMarkWaiting as they wrote it: gives each zero normal its triangle's.
void FillZeroNormals(MeshGroup& group);

}  // namespace RenderLib
