#include "simulation/hammersley.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace Simulation {
namespace {

TEST(Hammersley2D, FirstCoordinateMirrorsBitsSecondStepsEvenly) {
  std::vector<float> four(8);
  Hammersley2D(four.data(), 4);
  EXPECT_EQ(four, (std::vector<float>{0.0f, 0.125f, 0.5f, 0.375f, 0.25f, 0.625f, 0.75f, 0.875f}));

  // Over 2^k points each coordinate visits every stratum of width 2^-k exactly once.
  constexpr uint32_t kCount = 1024;
  std::vector<float> points(2 * kCount);
  Hammersley2D(points.data(), kCount);
  std::vector<int> hitsU(kCount, 0), hitsV(kCount, 0);
  for (uint32_t j = 0; j < kCount; ++j) {
    ++hitsU.at(static_cast<size_t>(points[2 * j] * kCount));
    ++hitsV.at(static_cast<size_t>(points[2 * j + 1] * kCount));
  }
  EXPECT_TRUE(std::all_of(hitsU.begin(), hitsU.end(), [](int n) { return n == 1; }));
  EXPECT_TRUE(std::all_of(hitsV.begin(), hitsV.end(), [](int n) { return n == 1; }));
}

}  // namespace
}  // namespace Simulation
