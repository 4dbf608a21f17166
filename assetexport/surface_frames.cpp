#include "assetexport/surface_frames.h"

#include "renderlib/vertex_frames.h"

namespace AssetExport {

using RenderLib::Vector3;

std::vector<SurfaceFrame> ComputeSurfaceFrames(const RenderLib::MeshGroup& group) {
  const size_t vertexCount = group.vertices.size();
  std::vector<SurfaceFrame> frames(vertexCount);
  std::vector<Vector3> alongU(vertexCount), alongV(vertexCount), faceNormals(vertexCount);
  const size_t indexCount = group.indices.size();
  for (size_t i = 0; i + 2 < indexCount; i += 3) {
    const int32_t corner[3] = {group.indices[i], group.indices[i + 1], group.indices[i + 2]};
    if (corner[0] < 0 || corner[1] < 0 || corner[2] < 0 || size_t(corner[0]) >= vertexCount ||
        size_t(corner[1]) >= vertexCount || size_t(corner[2]) >= vertexCount) {
      continue;
    }
    const RenderLib::VertexNormalUV& a = group.vertices[size_t(corner[0])];
    const RenderLib::VertexNormalUV& b = group.vertices[size_t(corner[1])];
    const RenderLib::VertexNormalUV& c = group.vertices[size_t(corner[2])];
    const Vector3 e1 = b.position - a.position, e2 = c.position - a.position;
    const float du1 = b.u - a.u, dv1 = b.v - a.v, du2 = c.u - a.u, dv2 = c.v - a.v;
    // dP/du and dP/dv scaled by the texture area (twice it), which weights them by it too.
    const float determinant = du1 * dv2 - du2 * dv1;
    const float sign = determinant < 0.0f ? -1.0f : 1.0f;
    const Vector3 u = (e1 * dv2 - e2 * dv1) * sign;
    const Vector3 v = (e2 * du1 - e1 * du2) * sign;
    const Vector3 faceNormal = Cross(e1, e2);
    for (int32_t k : corner) {
      alongU[size_t(k)] += u;
      alongV[size_t(k)] += v;
      if (Dot(faceNormals[size_t(k)], faceNormals[size_t(k)]) == 0.0f) faceNormals[size_t(k)] = faceNormal;
    }
  }
  for (size_t k = 0; k < vertexCount; ++k) {
    SurfaceFrame& frame = frames[k];
    frame.normal = group.vertices[k].normal;
    if (!RenderLib::ScaleToUnit(frame.normal)) {
      frame.normal = faceNormals[k];
      if (!RenderLib::ScaleToUnit(frame.normal)) frame.normal = Vector3(0.0f, 0.0f, 1.0f);
    }
    Vector3 tangent = alongU[k] - frame.normal * Dot(frame.normal, alongU[k]);
    if (!RenderLib::ScaleToUnit(tangent) || !RenderLib::IsUnit(tangent)) tangent = RenderLib::AnyPerpendicular(frame.normal);
    frame.tangent = tangent;
    frame.handedness = Dot(Cross(frame.normal, tangent), alongV[k]) < 0.0f ? -1.0f : 1.0f;
  }
  return frames;
}

}  // namespace AssetExport
