#include "simulation/sphere_points.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "simulation/radical_inverse.h"

namespace Simulation {
namespace {

TEST(SpherePoints, StratifiedHeightsOnTheUnitSphere) {
  constexpr uint32_t kCount = 4096;
  std::vector<float> points(3 * kCount, -7.0f);
  SpherePoints(points.data(), kCount, 7);
  EXPECT_EQ(points[0], 0.0f);
  EXPECT_EQ(points[1], 0.0f);
  EXPECT_EQ(points[2], -1.0f);
  std::vector<int> perBand(16, 0);
  for (uint32_t j = 0; j < kCount; ++j) {
    float x = points[3 * j], y = points[3 * j + 1], z = points[3 * j + 2];
    ASSERT_NEAR(std::sqrt(x * x + y * y + z * z), 1.0f, 1e-5f) << j;
    // Over 2^k points the heights are exactly the 2^k strata of [-1, 1).
    ++perBand[static_cast<int>((z + 1.0f) * 8.0f)];
    double r = std::sqrt(x * x + y * y);
    if (r > 0.01) {
      double angle = std::fmod(RadicalInverse(j, 7) * 4.0 * M_PI, 2.0 * M_PI);
      EXPECT_NEAR(std::cos(angle) * r, x, 2e-5);
      EXPECT_NEAR(std::sin(angle) * r, y, 2e-5);
    }
  }
  for (int count : perBand) EXPECT_EQ(count, static_cast<int>(kCount / 16));
}

}  // namespace
}  // namespace Simulation
