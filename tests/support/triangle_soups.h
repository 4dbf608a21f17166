#pragma once

#include <array>
#include <memory>
#include <vector>

#include "renderlib/obj_model.h"
#include "renderlib/triangle_soup.h"

namespace TestSupport {

using Triangle = std::array<RenderLib::Vector3, 3>;

// A soup of separate triangles; each corner gets normal n (when given) and the texture
// coordinates (u, v) = (x, y) of its position, so interpolated attributes are easy to predict.
inline std::unique_ptr<RenderLib::TriangleSoup> MakeSoup(const std::vector<Triangle>& triangles,
                                                         const RenderLib::Vector3* normal = nullptr) {
  RenderLib::ObjModel model;
  RenderLib::MeshGroup& group = model.groups.emplace_back();
  for (const Triangle& triangle : triangles) {
    RenderLib::Vector3 faceNormal = RenderLib::Cross(triangle[1] - triangle[0], triangle[2] - triangle[0]);
    faceNormal.Normalize();
    for (const RenderLib::Vector3& corner : triangle) {
      RenderLib::VertexNormalUV vertex;
      vertex.position = corner;
      vertex.normal = normal != nullptr ? *normal : faceNormal;
      vertex.u = corner.x;
      vertex.v = corner.y;
      group.indices.push_back(static_cast<int32_t>(group.vertices.size()));
      group.vertices.push_back(vertex);
    }
  }
  return std::make_unique<RenderLib::TriangleSoup>(model);
}

// The twelve triangles of the axis-aligned box [lo, hi], wound counter-clockwise from outside.
inline std::vector<Triangle> Box(const RenderLib::Vector3& lo, const RenderLib::Vector3& hi) {
  using RenderLib::Vector3;
  const Vector3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z},
                        {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
  const int faces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 4, 7, 3}, {1, 2, 6, 5}};
  std::vector<Triangle> triangles;
  for (const auto& f : faces) {
    triangles.push_back({c[f[0]], c[f[1]], c[f[2]]});
    triangles.push_back({c[f[0]], c[f[2]], c[f[3]]});
  }
  return triangles;
}

}  // namespace TestSupport
