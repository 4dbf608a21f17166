#include "simulation/emission_points.h"

#include <cmath>

#include "simulation/sphere_points.h"

namespace Simulation {

EmissionGeometry EmissionGeometryFor(const RenderLib::BoundingBox& box) {
  const RenderLib::Vector3 centre = (box.min + box.max) * 0.5f;
  EmissionGeometry geometry;
  geometry.radius = 2.0f * RenderLib::Length(centre - box.max);
  geometry.aim = {centre.x, box.min.y, centre.z};
  return geometry;
}

void MakeEmissionPoints(float* points, uint32_t count, float rotation, const EmissionGeometry& geometry) {
  SpherePoints(points, count, 7);
  const float radius = geometry.radius;
  const RenderLib::Vector3& aim = geometry.aim;
  for (uint32_t i = 0; i < count; ++i) {
    float* point = points + 3 * static_cast<size_t>(i);
    // Rounding may leave a unit point's component a hair beyond 1, where asin has no value.
    const float y = std::fmin(1.0f, std::fmax(-1.0f, point[1]));
    const float elevation = std::asin(y);
    const float azimuth = std::atan2(point[2], point[0]) + rotation;
    const float x = std::cos(azimuth) * std::cos(elevation);
    const float z = std::sin(azimuth) * std::cos(elevation);
    point[0] = radius * x + aim.x;
    point[1] = aim.y + std::fabs(y) * radius;
    point[2] = radius * z + aim.z;
  }
}

}  // namespace Simulation
