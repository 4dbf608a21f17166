#include "assetexport/chart_fill.h"

#include <gtest/gtest.h>

#include <vector>

namespace AssetExport {
namespace {

// Two covered texels in a corner of an 8 x 8 texture: the ring next to them takes the mean of
// the covered neighbours each touches, and every texel further out is filled too.
TEST(ChartFill, FillsOutwardsRingByRingUntilNothingIsEmpty) {
  constexpr uint32_t kSize = 8;
  std::vector<uint8_t> covered(kSize * kSize, 0), grey(kSize * kSize, 0), pair(kSize * kSize * 2, 0);
  covered[0] = covered[1] = 1;
  grey[0] = 100;
  grey[1] = 201;
  pair[0] = 10, pair[1] = 20, pair[2] = 30, pair[3] = 40;
  uint8_t* const planes[2] = {grey.data(), pair.data()};
  const uint32_t channels[2] = {1, 2};
  FillOutsideCharts(covered, kSize, planes, channels, 2);
  EXPECT_EQ(grey[kSize], 151);      // below the first: touches both, (100 + 201) / 2 rounded
  EXPECT_EQ(grey[2], 201);          // right of the second: touches only it
  EXPECT_EQ(pair[2 * kSize + 1], 30);  // the second channel of the plane of two, averaged alike
  for (size_t i = 0; i < grey.size(); ++i) EXPECT_GT(grey[i], 99) << "texel " << i << " left empty";

  std::vector<uint8_t> none(kSize * kSize, 0), untouched(kSize * kSize, 7);
  uint8_t* const one[1] = {untouched.data()};
  FillOutsideCharts(none, kSize, one, channels, 1);
  EXPECT_EQ(untouched, std::vector<uint8_t>(kSize * kSize, 7));
}

}  // namespace
}  // namespace AssetExport
