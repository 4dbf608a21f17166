#include "simulation/emission_points.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "simulation/sphere_points.h"

namespace Simulation {
namespace {

using RenderLib::Vector3;

// The emission points as runs made them before a source could be chosen, kept here word for
// word: weather from above with a spread of 90 degrees must repeat them bit for bit, or every
// seeded run and continued session of before would change.
void HemispherePointsAsBefore(float* points, uint32_t count, float rotation, const RenderLib::BoundingBox& box) {
  const Vector3 centre = (box.min + box.max) * 0.5f;
  const float radius = 2.0f * RenderLib::Length(centre - box.max);
  const Vector3 aim = {centre.x, box.min.y, centre.z};
  SpherePoints(points, count, 7);
  for (uint32_t i = 0; i < count; ++i) {
    float* point = points + 3 * static_cast<size_t>(i);
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

RenderLib::BoundingBox Box(const Vector3& low, const Vector3& high) {
  RenderLib::BoundingBox box;
  box.Extend(low);
  box.Extend(high);
  return box;
}

TEST(EmissionPoints, FromAboveWithASpreadOf90DegreesAreTheHemispherePointsBitForBit) {
  constexpr uint32_t kCount = 20000;
  std::vector<float> before(3 * kCount), now(3 * kCount);
  for (const RenderLib::BoundingBox& box : {Box({-1.0f, -1.0f, -1.0f}, {1.0f, 1.0f, 1.0f}),
                                            Box({-1.0f, 2.0f, -0.3f}, {3.0f, 4.0f, 1.7f})}) {
    for (const float rotation : {0.0f, 1.1f, 5.9f}) {
      HemispherePointsAsBefore(before.data(), kCount, rotation, box);
      MakeEmissionPoints(now.data(), kCount, rotation, EmissionGeometryFor(box));
      ASSERT_EQ(std::memcmp(before.data(), now.data(), before.size() * sizeof(float)), 0) << rotation;
    }
  }
}

// Points even on a cone about the axis: every one at the emission radius from the aim and
// within the spread of the axis, the cosine to the axis averaging the middle of [cos spread, 1]
// and the points' sideways offsets cancelling out, whatever the axis.
TEST(EmissionPoints, CoverTheSourcesConeEvenlyAboutTheAim) {
  const RenderLib::BoundingBox box = Box({-1.0f, -0.5f, -2.0f}, {1.0f, 0.5f, 2.0f});
  struct Case {
    Vector3 from;
    float spread;
  };
  for (const Case& c : {Case{{1.0f, 0.0f, 0.0f}, 20.0f}, Case{{-0.3f, -2.0f, 0.5f}, 60.0f},
                        Case{{0.0f, -1.0f, 0.0f}, 90.0f}, Case{{0.0f, 0.0f, 1.0f}, 180.0f}}) {
    EmissionSource source;
    std::string error;
    ASSERT_TRUE(MakeEmissionSource(c.from, c.spread, &source, &error)) << error;
    const EmissionGeometry geometry = EmissionGeometryFor(box, source);
    constexpr uint32_t kCount = 8192;
    std::vector<float> points(3 * kCount);
    MakeEmissionPoints(points.data(), kCount, 0.7f, geometry);
    const float cosSpread = std::cos(c.spread * 3.14159265f / 180.0f);
    double cosSum = 0.0;
    Vector3 sideways{0.0f, 0.0f, 0.0f};
    for (uint32_t i = 0; i < kCount; ++i) {
      const Vector3 offset = Vector3{points[3 * i], points[3 * i + 1], points[3 * i + 2]} - geometry.aim;
      ASSERT_NEAR(RenderLib::Length(offset), geometry.radius, 1e-4f * geometry.radius);
      const float cosine = RenderLib::Dot(offset, source.towards) / geometry.radius;
      ASSERT_GE(cosine, cosSpread - 1e-4f) << c.spread << " point " << i;
      cosSum += cosine;
      sideways += (offset - source.towards * (cosine * geometry.radius)) * (1.0f / geometry.radius);
    }
    EXPECT_NEAR(cosSum / kCount, 0.5 * (1.0 + cosSpread), 0.01) << c.spread;
    EXPECT_LT(RenderLib::Length(sideways) / kCount, 0.01f) << c.spread;
  }
  // The tons aim at the middle of the box's side away from the source: the -x face for +x.
  EmissionSource fromX;
  std::string error;
  ASSERT_TRUE(MakeEmissionSource({2.0f, 0.0f, 0.0f}, 20.0f, &fromX, &error));
  EXPECT_EQ(EmissionGeometryFor(box, fromX).aim, Vector3(-1.0f, 0.0f, 0.0f));
}

TEST(EmissionSource, NormalisesTheDirectionAndRefusesNoneOrASpreadOutOfRange) {
  EmissionSource source;
  std::string error;
  ASSERT_TRUE(MakeEmissionSource({3.0f, 0.0f, -4.0f}, 1.0f, &source, &error));
  EXPECT_NEAR(source.towards.x, 0.6f, 1e-6f);
  EXPECT_NEAR(source.towards.z, -0.8f, 1e-6f);
  EXPECT_TRUE(MakeEmissionSource({0.0f, 1.0f, 0.0f}, 180.0f, &source, &error));
  for (const Vector3& from : {Vector3{0.0f, 0.0f, 0.0f}, Vector3{NAN, 1.0f, 0.0f}, Vector3{INFINITY, 0.0f, 0.0f}}) {
    EXPECT_FALSE(MakeEmissionSource(from, 90.0f, &source, &error));
    EXPECT_NE(error.find("direction"), std::string::npos) << error;
  }
  for (const float spread : {0.5f, 180.5f, -10.0f, NAN}) {
    error.clear();
    EXPECT_FALSE(MakeEmissionSource({0.0f, 1.0f, 0.0f}, spread, &source, &error)) << spread;
    EXPECT_NE(error.find("1 to 180"), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace Simulation
