#include "simulation/flow_direction.h"

#include <gtest/gtest.h>

#include <cmath>

namespace Simulation {
namespace {

using RenderLib::Dot;
using RenderLib::Length;
using RenderLib::Vector3;

TEST(FlowDirection, OnLevelGroundSpreadsEvenlyAroundTheNormalFacingUpOrDown) {
  const Vector3 tilted = Vector3{0.2f, -0.95f, 0.1f} / Length(Vector3{0.2f, -0.95f, 0.1f});
  for (const Vector3& n : {Vector3{0, 1, 0}, Vector3{0, -1, 0}, tilted}) {
    constexpr int kDraws = 64;
    Vector3 mean;
    int quadrants[2][2] = {};
    for (int i = 0; i < kDraws; ++i) {
      const Vector3 d = FlowDirection(n, (static_cast<float>(i) + 0.5f) / kDraws);
      ASSERT_NEAR(Length(d), 1.0f, 1e-5f);
      ASSERT_NEAR(Dot(d, n), 0.0f, 1e-5f);  // along the surface
      mean += d / kDraws;
      ++quadrants[d.x > 0][d.z > 0];
    }
    EXPECT_LT(Length(mean), 0.01f) << n.x << " " << n.y << " " << n.z;
    for (const auto& row : quadrants) {
      for (const int count : row) EXPECT_GE(count, kDraws / 8) << n.x << " " << n.y << " " << n.z;
    }
  }
}

TEST(FlowDirection, OnASlopeRunsDownhillWithASidewaysShare) {
  const Vector3 n = Vector3{1, 1, 0} / std::sqrt(2.0f);
  const Vector3 straight = FlowDirection(n, 0.5f);
  EXPECT_NEAR(Dot(straight, n), 0.0f, 1e-6f);
  EXPECT_LT(straight.y, 0.0f);
  EXPECT_NEAR(straight.z, 0.0f, 1e-6f);
  // The two ends of the draw lean to opposite sides by the same amount.
  EXPECT_NEAR(FlowDirection(n, 0.0f).z, -FlowDirection(n, 1.0f).z, 1e-6f);
  EXPECT_GT(std::fabs(FlowDirection(n, 0.0f).z), 0.1f);
}

}  // namespace
}  // namespace Simulation
