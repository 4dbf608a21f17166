#include "viewer/scene_placement.h"

#include <algorithm>
#include <cmath>

namespace Viewer {

ModelBounds BoundsOfBox(const RenderLib::BoundingBox& box) {
  const RenderLib::Vector3 centre = (box.min + box.max) * 0.5f;
  return {centre, RenderLib::Length(box.max - centre)};
}

CameraPlacement StartingCamera(const ModelBounds& bounds, float distance, float pitch) {
  const RenderLib::Vector3& c = bounds.centre;
  const float away = distance * bounds.radius;
  return {{c.x, c.y + away * std::sin(pitch), c.z + away * std::cos(pitch)}, {c.x, c.y, c.z}};
}

PixelRect LargestFreeRect(float width, float height, const std::vector<PixelRect>& obstacles) {
  // The best free rectangle has each side on the picture's edge or on an obstacle's edge, so
  // those edges are the only candidates; a few panels make this a few thousand tests.
  std::vector<float> xs = {0.0f, width};
  std::vector<float> ys = {0.0f, height};
  for (const PixelRect& o : obstacles) {
    for (float x : {o.left, o.right}) xs.push_back(std::clamp(x, 0.0f, width));
    for (float y : {o.top, o.bottom}) ys.push_back(std::clamp(y, 0.0f, height));
  }
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

  const auto covered = [&obstacles](const PixelRect& r) {
    return std::any_of(obstacles.begin(), obstacles.end(), [&r](const PixelRect& o) {
      return o.left < r.right && r.left < o.right && o.top < r.bottom && r.top < o.bottom;
    });
  };
  PixelRect best;
  float bestSide = 0.0f, bestArea = 0.0f;
  for (size_t l = 0; l < xs.size(); ++l)
    for (size_t r = l + 1; r < xs.size(); ++r)
      for (size_t t = 0; t < ys.size(); ++t)
        for (size_t b = t + 1; b < ys.size(); ++b) {
          const PixelRect candidate{xs[l], ys[t], xs[r], ys[b]};
          const float side = std::min(candidate.Width(), candidate.Height());
          const float area = candidate.Width() * candidate.Height();
          if (side < bestSide || (side == bestSide && area <= bestArea)) continue;
          if (covered(candidate)) continue;
          best = candidate;
          bestSide = side;
          bestArea = area;
        }
  return best;
}

Projection ProjectionFor(float eyeDistance, uint32_t width, uint32_t height) {
  const float aspect = height > 0 ? float(width) / float(height) : 1.0f;
  return {kFieldOfView, aspect, kNearPlane, 2.0f * eyeDistance, {0.0f, 0.0f}};
}

Projection FramingProjection(const RenderLib::BoundingBox& box, const Platform::Matrix& world,
                             const CameraPlacement& placement, uint32_t width, uint32_t height, PixelRect free) {
  Projection projection = ProjectionFor(Platform::Vec3Length(placement.eye - placement.lookAt), width, height);
  if (width == 0 || height == 0) return projection;
  if (!(free.Width() > 0.0f && free.Height() > 0.0f)) free = {0.0f, 0.0f, float(width), float(height)};
  projection.lensShift = {(free.left + free.right) / float(width) - 1.0f,
                          1.0f - (free.top + free.bottom) / float(height)};

  // A corner at view (x, y, z) lands focal * x / -z pixels right of the axis (and as far up for
  // y); the largest focal length, in pixels, that keeps every corner inside the free part.
  const Platform::Matrix toView = world * Platform::MatrixLookAtRH(placement.eye, placement.lookAt, {0.0f, 1.0f, 0.0f});
  const float halfWidth = 0.5f * kFramedShare * free.Width();
  const float halfHeight = 0.5f * kFramedShare * free.Height();
  float focal = INFINITY;
  for (int corner = 0; corner < 8; ++corner) {
    const Platform::Float3 p{(corner & 1) ? box.max.x : box.min.x, (corner & 2) ? box.max.y : box.min.y,
                             (corner & 4) ? box.max.z : box.min.z};
    const Platform::Float3 v = Platform::Vec3TransformCoord(p, toView);
    // A corner behind the eye cannot be framed by any lens.
    if (!(-v.z > 0.0f)) continue;
    if (v.x != 0.0f) focal = std::min(focal, halfWidth * -v.z / std::fabs(v.x));
    if (v.y != 0.0f) focal = std::min(focal, halfHeight * -v.z / std::fabs(v.y));
  }
  if (std::isfinite(focal) && focal > 0.0f) projection.fieldOfView = 2.0f * std::atan(0.5f * float(height) / focal);
  return projection;
}

Platform::Matrix ProjectionMatrix(const Projection& p) {
  // Adding w times the shift to x and y after the perspective moves the picture without
  // changing the depth.
  return Platform::MatrixPerspectiveFovRH(p.fieldOfView, p.aspect, p.nearPlane, p.farPlane) *
         Platform::MatrixTranslation(p.lensShift.x, p.lensShift.y, 0.0f);
}

CameraMatrices FixedCamera(const CameraPlacement& placement, const Platform::Matrix& world,
                           const Projection& projection) {
  return {world,
          Platform::MatrixLookAtRH(placement.eye, placement.lookAt, {0.0f, 1.0f, 0.0f}) * ProjectionMatrix(projection),
          placement.eye};
}

CameraMatrices FixedCamera(const CameraPlacement& placement, const Platform::Matrix& world, uint32_t width,
                           uint32_t height) {
  return FixedCamera(placement, world,
                     ProjectionFor(Platform::Vec3Length(placement.eye - placement.lookAt), width, height));
}

Lights LightsAround(const ModelBounds& bounds) {
  const RenderLib::Vector3& c = bounds.centre;
  const float r = bounds.radius;
  return {{c.x - 20.0f * r, c.y + 20.0f * r, c.z + 20.0f * r}, {c.x + 20.0f * r, c.y, c.z}};
}

}  // namespace Viewer
