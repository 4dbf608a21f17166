#include "simulation/hammersley.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "simulation/radical_inverse.h"

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

TEST(Hammersley2D, ARangeGivesTheRadicalInverseOfEveryIndex) {
  // Around 2^24, where the mirrored bits stop fitting a float and the sum starts rounding.
  constexpr uint32_t kCount = (1u << 24) + 4096;
  constexpr uint32_t kFirst = (1u << 24) - 2048;
  std::vector<float> points(2 * 4096);
  Hammersley2D(points.data(), kCount, kFirst, 4096);
  for (uint32_t i = 0; i < 4096; ++i) {
    ASSERT_EQ(points[2 * i], RadicalInverse(kFirst + i, 2)) << i;
    ASSERT_EQ(points[2 * i + 1], static_cast<float>((kFirst + i + 0.5) / kCount)) << i;
  }
  std::vector<float> whole(2 * 1000), part(2 * 300);
  Hammersley2D(whole.data(), 1000);
  Hammersley2D(part.data(), 1000, 700, 300);
  EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + 1400));
  for (uint32_t j = 0; j < 1000; ++j) ASSERT_EQ(whole[2 * j], RadicalInverse(j, 2)) << j;
}

}  // namespace
}  // namespace Simulation
