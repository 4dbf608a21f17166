#include "assetexport/chart_fill.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "simulation/ring_fill.h"

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

// The ring fill run until nothing is empty, on one channel (rows packed, step bytes a texel).
std::vector<float> RingFillToTheEnd(const std::vector<uint8_t>& covered, uint32_t size, const uint8_t* bytes,
                                    uint32_t step) {
  const size_t stride = size + 2, pitch = size + 16, pad = pitch + 16;
  std::vector<uint8_t> marks(stride * stride + 16, Simulation::RingFill::kRingBorder);
  std::vector<float> plane(2 * pad + pitch * size, 0.0f);
  for (uint32_t y = 0; y < size; ++y) {
    for (uint32_t x = 0; x < size; ++x) {
      const bool isCovered = covered[y * size + x] != 0;
      marks[(y + 1) * stride + x + 1] = isCovered ? 1 : 0;
      if (isCovered) plane[pad + y * pitch + x] = float(bytes[(y * size + x) * step]);
    }
  }
  Simulation::RingFill fill;
  while (std::find(marks.begin(), marks.end(), 0) != marks.end()) {
    fill.Mark(marks.data(), size, size, Simulation::RingFill::kMaxRings);
    fill.Fill(plane.data() + pad, ptrdiff_t(pitch));
  }
  std::vector<float> values(size * size);
  for (uint32_t y = 0; y < size; ++y) {
    for (uint32_t x = 0; x < size; ++x) values[y * size + x] = plane[pad + y * pitch + x];
  }
  return values;
}

// Two ragged charts of values 100 .. 200 in the corners of a texture far larger than the exact
// rings, four channels a texel: near the charts every channel is what the ring fill run to the
// end gives, and no texel anywhere is left empty or outside the charts' values. A texel in a
// quadrant that holds neither chart takes something of both.
TEST(ChartFill, ExactRingsNearTheChartsAndMeansOfThemFarAway) {
  constexpr uint32_t kSize = 96, kChannels = 4;
  std::vector<uint8_t> covered(kSize * kSize, 0), rgba(kSize * kSize * kChannels, 0);
  std::mt19937 random(7);
  for (uint32_t y = 0; y < kSize; ++y) {
    for (uint32_t x = 0; x < kSize; ++x) {
      const bool topLeft = x + y < 20 + random() % 6, bottomRight = (kSize - x) + (kSize - y) < 24 + random() % 6;
      if (!topLeft && !bottomRight) continue;
      covered[y * kSize + x] = 1;
      for (uint32_t c = 0; c < kChannels; ++c) {
        rgba[(y * kSize + x) * kChannels + c] = uint8_t(topLeft ? 100 + random() % 20 : 180 + random() % 21);
      }
    }
  }
  std::vector<std::vector<float>> reference;
  for (uint32_t c = 0; c < kChannels; ++c) reference.push_back(RingFillToTheEnd(covered, kSize, rgba.data() + c, kChannels));
  uint8_t* const planes[1] = {rgba.data()};
  const uint32_t channels[1] = {kChannels};
  FillOutsideCharts(covered, kSize, planes, channels, 1);

  int exact = 0;
  for (uint32_t y = 0; y < kSize; ++y) {
    for (uint32_t x = 0; x < kSize; ++x) {
      int ring = 1 << 20;
      for (uint32_t cy = 0; cy < kSize; ++cy) {
        for (uint32_t cx = 0; cx < kSize; ++cx) {
          if (covered[cy * kSize + cx] != 0) ring = std::min(ring, std::max(std::abs(int(cx) - int(x)), std::abs(int(cy) - int(y))));
        }
      }
      for (uint32_t c = 0; c < kChannels; ++c) {
        const uint8_t value = rgba[(y * kSize + x) * kChannels + c];
        ASSERT_GE(value, 100) << x << ", " << y << " channel " << c;
        ASSERT_LE(value, 200) << x << ", " << y << " channel " << c;
        if (ring > 0 && ring <= kExactRings) {
          ASSERT_EQ(value, uint8_t(reference[c][y * kSize + x] + 0.5f)) << x << ", " << y << " ring " << ring;
          exact += c == 0;
        }
      }
    }
  }
  EXPECT_GT(exact, 200);
  // The top right quadrant holds no texel of either chart's rings: it takes the mean of both.
  const uint8_t corner = rgba[(kSize - 1) * kChannels];
  EXPECT_GT(corner, 125);
  EXPECT_LT(corner, 175);
}

}  // namespace
}  // namespace AssetExport
