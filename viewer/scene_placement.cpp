#include "viewer/scene_placement.h"

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

Projection ProjectionFor(float eyeDistance, uint32_t width, uint32_t height) {
  const float aspect = height > 0 ? float(width) / float(height) : 1.0f;
  return {kFieldOfView, aspect, kNearPlane, 2.0f * eyeDistance};
}

CameraMatrices FixedCamera(const CameraPlacement& placement, const Platform::Matrix& world, uint32_t width,
                           uint32_t height) {
  const Projection p = ProjectionFor(Platform::Vec3Length(placement.eye - placement.lookAt), width, height);
  return {world,
          Platform::MatrixLookAtLH(placement.eye, placement.lookAt, {0.0f, 1.0f, 0.0f}) *
              Platform::MatrixPerspectiveFovLH(p.fieldOfView, p.aspect, p.nearPlane, p.farPlane),
          placement.eye};
}

Lights LightsAround(const ModelBounds& bounds) {
  const RenderLib::Vector3& c = bounds.centre;
  const float r = bounds.radius;
  return {{c.x - 20.0f * r, c.y + 20.0f * r, c.z + 20.0f * r}, {c.x + 20.0f * r, c.y, c.z}};
}

}  // namespace Viewer
