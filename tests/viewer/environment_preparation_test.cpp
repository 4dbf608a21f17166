#include "viewer/environment_preparation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "threadinglib/thread_pool.h"
#include "viewer/environment_directions.h"

namespace Viewer {
namespace {

using Platform::Float3;

RadianceMap Uniform(uint32_t width, Float3 radiance) {
  RadianceMap map{width, width / 2, {}};
  for (size_t i = 0; i < size_t(map.width) * map.height; ++i) {
    map.rgb.insert(map.rgb.end(), {radiance.x, radiance.y, radiance.z});
  }
  return map;
}

// Directions off the axes and near the poles, where an equirect picture is most distorted.
const Float3 kDirections[] = {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0.6f, 0.64f, -0.48f}, {-0.36f, -0.8f, 0.48f}};

void ExpectNear(Float3 got, Float3 want, float relative, const std::string& where) {
  EXPECT_NEAR(got.x, want.x, want.x * relative) << where;
  EXPECT_NEAR(got.y, want.y, want.y * relative) << where;
  EXPECT_NEAR(got.z, want.z, want.z * relative) << where;
}

// Inside a uniform environment every surface sees the same light from every side: the diffuse
// term and every roughness level must give the radiance back.
TEST(EnvironmentPreparation, WhiteFurnaceGivesTheRadianceBack) {
  const Float3 radiance{0.7f, 1.3f, 2.0f};
  ThreadingLib::ThreadPool pool;
  ASSERT_TRUE(pool.Create(2, 2, 0));
  const PreparedEnvironment prepared = PrepareEnvironment(Uniform(128, radiance), &pool);
  ASSERT_EQ(prepared.specular.size(), kSpecularLevels);
  for (const Float3& d : kDirections) {
    ExpectNear(EvaluateDiffuse(prepared, Platform::Vec3Normalize(d)), radiance, 0.01f, "diffuse");
    for (size_t level = 0; level < prepared.specular.size(); ++level) {
      ExpectNear(SampleRadiance(prepared.specular[level], Platform::Vec3Normalize(d)), radiance, 0.01f,
                 "level " + std::to_string(level));
    }
  }
  EXPECT_EQ(prepared.mainLightColor.x + prepared.mainLightColor.y + prepared.mainLightColor.z, 0.0f);
}

float Luminance(const float* c) { return 0.2126f * c[0] + 0.7152f * c[1] + 0.0722f * c[2]; }

Float3 BrightestDirection(const RadianceMap& map) {
  size_t best = 0;
  for (size_t i = 0; i < size_t(map.width) * map.height; ++i) {
    if (Luminance(&map.rgb[3 * i]) > Luminance(&map.rgb[3 * best])) best = i;
  }
  return EquirectDirection((float(best % map.width) + 0.5f) / float(map.width),
                           (float(best / map.width) + 0.5f) / float(map.height));
}

Float3 Integral(const RadianceMap& map) {
  Float3 sum{};
  for (uint32_t y = 0; y < map.height; ++y) {
    const float omega = (2 * kPi / float(map.width)) * (kPi / float(map.height)) * std::sin(kPi * (y + 0.5f) / map.height);
    for (uint32_t x = 0; x < map.width; ++x) {
      const float* c = &map.rgb[(size_t(y) * map.width + x) * 3];
      sum += Float3{c[0], c[1], c[2]} * omega;
    }
  }
  return sum;
}

float DegreesBetween(Float3 a, Float3 b) {
  return std::acos(std::fmin(1.0f, Platform::Vec3Dot(Platform::Vec3Normalize(a), Platform::Vec3Normalize(b)))) * 180.0f / kPi;
}

// The sun stays the brightest thing in a sharp reflection, the main light points at it, and
// what the maps gave up is exactly what the main light carries.
TEST(EnvironmentPreparation, LowSunBecomesTheMainLightWithoutCountingTwice) {
  RadianceMap source;
  std::string error;
  ASSERT_TRUE(ReadRadianceMap(PATINEX_SOURCE_DIR "/media/environments/low_sun.hdr", &source, &error)) << error;
  const Float3 sun = BrightestDirection(source);
  const PreparedEnvironment prepared = PrepareEnvironment(source, nullptr);

  const float texelDegrees = 360.0f / float(prepared.specular[1].width);
  EXPECT_LT(DegreesBetween(BrightestDirection(prepared.specular[1]), sun), 2.0f * texelDegrees);
  EXPECT_LT(DegreesBetween(prepared.mainLightDirection, sun), 1.0f);

  const Float3 before = Integral(source);
  const Float3 after = Integral(prepared.specular[0]) + prepared.mainLightColor;
  ExpectNear(after, before, 1e-3f, "energy kept");
  // The sun is a good part of the light, and the maps no longer hold it.
  EXPECT_GT(prepared.mainLightColor.x, 0.2f * before.x);
  EXPECT_LT(Integral(prepared.specular[0]).x, 0.8f * before.x);
}

}  // namespace
}  // namespace Viewer
