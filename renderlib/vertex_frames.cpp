#include "renderlib/vertex_frames.h"

#include <cmath>

namespace RenderLib {
namespace {

constexpr Vector3 kFallbackNormal{0.0f, 0.0f, 1.0f};

bool IsFinite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// Calls visit(a, b, c) for every triangle of the group whose indices are in range.
template <class Group, class Visit>
void ForEachTriangle(Group& group, Visit visit) {
  const int32_t* indices = group.indices.data();
  const int32_t vertexCount = static_cast<int32_t>(group.vertices.size());
  for (size_t i = 0; i + 2 < group.indices.size(); i += 3) {
    int32_t a = indices[i], b = indices[i + 1], c = indices[i + 2];
    if (a < 0 || b < 0 || c < 0 || a >= vertexCount || b >= vertexCount || c >= vertexCount) continue;
    visit(a, b, c);
  }
}

// The unit normal of triangle (pa, pb, pc) oriented as Cross(pc - pa, pb - pa), worked out in
// double so that far-apart finite corners cannot overflow; false when it has no area.
bool FaceNormal(const Vector3& pa, const Vector3& pb, const Vector3& pc, Vector3& normal) {
  double e1[3] = {double(pc.x) - pa.x, double(pc.y) - pa.y, double(pc.z) - pa.z};
  double e2[3] = {double(pb.x) - pa.x, double(pb.y) - pa.y, double(pb.z) - pa.z};
  double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
  double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (!(length > 0.0) || !std::isfinite(length)) return false;
  normal = Vector3(float(n[0] / length), float(n[1] / length), float(n[2] / length));
  return ScaleToUnit(normal);
}

}  // namespace

bool ScaleToUnitByLargest(Vector3& v) {
  float largest = std::fmax(std::fabs(v.x), std::fmax(std::fabs(v.y), std::fabs(v.z)));
  if (!(largest > 0.0f) || !std::isfinite(largest) || !IsFinite(v)) return false;
  Vector3 scaled = v / largest;
  v = scaled / Length(scaled);
  return true;
}

Vector3 AnyPerpendicular(const Vector3& n) {
  // An orthonormal basis that stays exact for any unit n, without a branch on the axis.
  float sign = std::copysign(1.0f, n.z);
  float a = -1.0f / (sign + n.z);
  float b = n.x * n.y * a;
  Vector3 t(1.0f + sign * n.x * n.x * a, sign * b, -sign * n.x);
  if (!ScaleToUnit(t)) return Vector3(1.0f, 0.0f, 0.0f);
  return t;
}

void ComputeVertexNormals(MeshGroup& group) {
  VertexNormalUV* vertices = group.vertices.data();
  for (VertexNormalUV& vertex : group.vertices) vertex.normal = Vector3();
  ForEachTriangle(group, [&](int32_t a, int32_t b, int32_t c) {
    const Vector3& pa = vertices[a].position;
    Vector3 face = Cross(vertices[c].position - pa, vertices[b].position - pa);
    vertices[a].normal += face;
    vertices[b].normal += face;
    vertices[c].normal += face;
  });
  for (VertexNormalUV& vertex : group.vertices) {
    if (!ScaleToUnit(vertex.normal)) vertex.normal = Vector3();
  }
}

void RepairNormals(MeshGroup& group) {
  bool waiting = false;
  for (VertexNormalUV& vertex : group.vertices) {
    if (!ScaleNormalOrMarkWaiting(vertex.normal)) waiting = true;
  }
  if (waiting) FillZeroNormals(group);
}

void FillZeroNormals(MeshGroup& group) {
  VertexNormalUV* vertices = group.vertices.data();
  const Vector3 zero;
  ForEachTriangle(group, [&](int32_t a, int32_t b, int32_t c) {
    if (!(vertices[a].normal == zero || vertices[b].normal == zero || vertices[c].normal == zero)) return;
    Vector3 face;
    if (!FaceNormal(vertices[a].position, vertices[b].position, vertices[c].position, face)) face = kFallbackNormal;
    for (int32_t corner : {a, b, c}) {
      if (vertices[corner].normal == zero) vertices[corner].normal = face;
    }
  });
  for (VertexNormalUV& vertex : group.vertices) {
    if (vertex.normal == zero) vertex.normal = kFallbackNormal;
  }
}

void FinishTangents(MeshGroup& group) {
  for (VertexNormalUV& vertex : group.vertices) {
    Vector3 n = vertex.normal;
    if (!IsUnit(n) && !ScaleToUnit(n)) n = kFallbackNormal;
    Vector3 t = vertex.tangent - n * Dot(n, vertex.tangent);
    bool found = ScaleToUnit(t);
    // When the sum nearly follows n, one removal leaves rounding noise along n: remove again.
    if (found && std::fabs(Dot(n, t)) > 1e-3f) {
      t -= n * Dot(n, t);
      found = ScaleToUnit(t) && std::fabs(Dot(n, t)) <= 1e-3f;
    }
    vertex.tangent = found ? t : AnyPerpendicular(n);
  }
}

void ComputeTangents(MeshGroup& group) {
  VertexNormalUV* vertices = group.vertices.data();
  for (VertexNormalUV& vertex : group.vertices) vertex.tangent = Vector3();
  ForEachTriangle(group, [&](int32_t a, int32_t b, int32_t c) { AddTriangleTangent(vertices, a, b, c); });
  FinishTangents(group);
}

std::vector<float> TangentHandedness(const MeshGroup& group) {
  const VertexNormalUV* vertices = group.vertices.data();
  std::vector<Vector3> alongV(group.vertices.size());
  ForEachTriangle(group, [&](int32_t a, int32_t b, int32_t c) {
    const TriangleTextureAxes axes = TextureAxesOf(vertices[a], vertices[b], vertices[c]);
    // Turned by the determinant's sign, the scaled direction weighs each face by its area.
    const Vector3 v = axes.alongV * (axes.determinant < 0.0f ? -1.0f : 1.0f);
    for (int32_t corner : {a, b, c}) alongV[size_t(corner)] += v;
  });
  std::vector<float> handedness(group.vertices.size());
  for (size_t k = 0; k < handedness.size(); ++k) {
    handedness[k] = Dot(Cross(vertices[k].normal, vertices[k].tangent), alongV[k]) < 0.0f ? -1.0f : 1.0f;
  }
  return handedness;
}

}  // namespace RenderLib
