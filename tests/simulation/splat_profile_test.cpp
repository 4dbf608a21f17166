#include "simulation/splat_profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "simulation/splat_raster.h"
#include "tests/support/shipped_splat.h"

namespace Simulation {
namespace {

TEST(SplatProfile, TheRoundStampWeighsEveryTexelAsTheBilinearOneDoes) {
  const SplatImage& splat = ShippedSplat();
  SplatProfile profile;
  ASSERT_TRUE(profile.Build(splat)) << "deviation " << profile.Deviation() * 255.0f << " grey levels";
  EXPECT_TRUE(profile.HasPolynomial());
  // A polynomial said to stay above 0 is stamped without a clamp at 0: it must.
  if (profile.PolynomialPositive()) {
    for (int e = 0; e < static_cast<int>(profile.PolynomialEnd()); ++e) {
      ASSERT_GT(profile.EvaluatePolynomial(static_cast<float>(e)), 0.0f) << "entry " << e;
    }
  }

  // Odd sizes and squares from under a pixel to wide ones (one to five groups of eight
  // columns), some reaching past the right and bottom edges, so that whole groups, padded
  // groups and the texel-by-texel rows all run.
  const SplatSquare squares[] = {{20.3f, 11.7f, 0.7f, 0.9f},  {18.0f, 12.0f, 3.3f, 2.1f},
                                 {25.6f, 14.2f, 12.6f, 9.4f}, {61.9f, 30.5f, 5.2f, 5.2f},
                                 {2.2f, 38.8f, 7.5f, 3.0f},   {33.3f, 20.1f, 40.0f, 27.0f},
                                 {40.1f, 20.6f, 9.0f, 6.0f},  {60.4f, 3.3f, 10.8f, 4.4f}};
  for (const SplatSquare& square : squares) {
    SplatRaster exact(67, 41), round(67, 41);
    exact.Draw(square, 0.75f, splat);
    round.DrawRound(square, 0.75f, profile);
    for (uint32_t y = 0; y < 41; ++y) {
      for (uint32_t x = 0; x < 67; ++x) {
        const float weight = exact.Weight(x, y);
        ASSERT_NEAR(round.Weight(x, y), weight, kSplatProfileTolerance + kSplatPolynomialTolerance)
            << square.halfWidth << " at " << x << "," << y;
        ASSERT_NEAR(round.Value(x, y), 0.75f * round.Weight(x, y), 1e-6f);
        // Nothing outside the square; only the rim, where the coverage is all but 0, may differ
        // in whether it is covered at all.
        if ((weight > 0.0f) != (round.Weight(x, y) > 0.0f)) {
          ASSERT_LT(std::max(weight, round.Weight(x, y)), 0.02f) << x << "," << y;
        }
      }
    }
  }
}

TEST(SplatProfile, ASplatThatIsNotRoundIsRefusedAndStampsNothing) {
  // The shipped splat moved a quarter of its width to the right, and a bar across the middle.
  // (An evenly opaque splat is round: it weighs the same everywhere.)
  const SplatImage& shipped = ShippedSplat();
  std::vector<float> shifted(size_t(shipped.Width()) * shipped.Height(), 0.0f);
  for (uint32_t y = 0; y < shipped.Height(); ++y) {
    for (uint32_t x = shipped.Width() / 4; x < shipped.Width(); ++x) {
      shifted[size_t(y) * shipped.Width() + x] = shipped.At(x - shipped.Width() / 4, y);
    }
  }
  std::vector<float> bar(64, 0.0f);
  std::fill(bar.begin() + 24, bar.begin() + 40, 1.0f);
  SplatImage offCentre, across;
  offCentre.Assign(shipped.Width(), shipped.Height(), shifted);
  across.Assign(8, 8, bar);
  for (const SplatImage* splat : {&offCentre, &across}) {
    SplatProfile profile;
    EXPECT_FALSE(profile.Build(*splat));
    EXPECT_GT(profile.Deviation(), kSplatProfileTolerance);
    SplatRaster raster(16, 16);
    raster.DrawRound({8.0f, 8.0f, 4.0f, 4.0f}, 1.0f, profile);
    EXPECT_EQ(raster.Weight(8, 8), 0.0f);
  }
}

}  // namespace
}  // namespace Simulation
