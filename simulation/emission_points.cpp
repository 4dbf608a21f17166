#include "simulation/emission_points.h"

#include <cmath>

#include "simulation/sphere_points.h"

namespace Simulation {
namespace {

// The rotation taking the up axis onto the unit axis a, as its three columns (the images of x, y
// and z). Up itself gives the identity exactly, so weather from above keeps its points bit for bit.
struct AxisFrame {
  RenderLib::Vector3 x{1.0f, 0.0f, 0.0f}, y{0.0f, 1.0f, 0.0f}, z{0.0f, 0.0f, 1.0f};
};

AxisFrame FrameAbout(const RenderLib::Vector3& a) {
  AxisFrame frame;
  if (a.x == 0.0f && a.z == 0.0f) {
    // Straight down: half a turn about x (the general form divides by 1 + a.y = 0).
    if (a.y < 0.0f) frame = {{1.0f, 0.0f, 0.0f}, {0.0f, -1.0f, 0.0f}, {0.0f, 0.0f, -1.0f}};
    return frame;
  }
  // Rodrigues' rotation about up × a; k = 1 / (1 + cos) written as (1 - cos) / sin², which
  // keeps its precision when a points nearly straight down.
  const float sin2 = a.x * a.x + a.z * a.z;
  const float k = (1.0f - a.y) / sin2;
  frame.x = {1.0f - a.x * a.x * k, -a.x, -a.x * a.z * k};
  frame.y = a;
  frame.z = {-a.x * a.z * k, -a.z, 1.0f - a.z * a.z * k};
  return frame;
}

// The middle of the box's side away from the source along each axis, the box's centre where
// the source lies square to that axis. lerp is exact at its ends, so from above the aim is the
// bottom face's middle to the bit.
float AimAlong(float centre, float low, float high, float towards) {
  if (towards > 0.0f) return std::lerp(centre, low, towards);
  if (towards < 0.0f) return std::lerp(centre, high, -towards);
  return centre;
}

}  // namespace

EmissionGeometry EmissionGeometryFor(const RenderLib::BoundingBox& box, const EmissionSource& source) {
  const RenderLib::Vector3 centre = (box.min + box.max) * 0.5f;
  EmissionGeometry geometry;
  geometry.radius = 2.0f * RenderLib::Length(centre - box.max);
  const RenderLib::Vector3& a = source.towards;
  geometry.aim = {AimAlong(centre.x, box.min.x, box.max.x, a.x), AimAlong(centre.y, box.min.y, box.max.y, a.y),
                  AimAlong(centre.z, box.min.z, box.max.z, a.z)};
  geometry.axis = a;
  // cos 90° in floating point is a hair above 0; the hemisphere's heights must stay as they are.
  const double cosine = std::cos(double(source.spreadDegrees) * 3.141592653589793 / 180.0);
  geometry.cosSpread = std::fabs(cosine) < 1e-7 ? 0.0f : float(cosine);
  return geometry;
}

void MakeEmissionPoints(float* points, uint32_t count, float rotation, const EmissionGeometry& geometry) {
  SpherePoints(points, count, 7);
  const float radius = geometry.radius;
  const RenderLib::Vector3& aim = geometry.aim;
  const AxisFrame frame = FrameAbout(geometry.axis);
  const bool turned = !(geometry.axis.x == 0.0f && geometry.axis.z == 0.0f && geometry.axis.y > 0.0f);
  const float low = geometry.cosSpread;
  for (uint32_t i = 0; i < count; ++i) {
    float* point = points + 3 * static_cast<size_t>(i);
    // Rounding may leave a unit point's component a hair beyond 1, where asin has no value.
    const float y = std::fmin(1.0f, std::fmax(-1.0f, point[1]));
    // |y| of points even on the sphere is uniform in [0, 1]; stretched onto [low, 1] it is the
    // cosine of the angle to the axis of points even on the cone.
    const float height = std::fmin(1.0f, low + std::fabs(y) * (1.0f - low));
    const float elevation = std::asin(height);
    const float azimuth = std::atan2(point[2], point[0]) + rotation;
    const float x = std::cos(azimuth) * std::cos(elevation);
    const float z = std::sin(azimuth) * std::cos(elevation);
    RenderLib::Vector3 d{x, height, z};
    if (turned) d = frame.x * x + frame.y * height + frame.z * z;
    point[0] = radius * d.x + aim.x;
    point[1] = aim.y + d.y * radius;
    point[2] = radius * d.z + aim.z;
  }
}

}  // namespace Simulation
