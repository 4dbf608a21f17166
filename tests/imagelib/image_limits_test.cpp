#include "imagelib/image_limits.h"

#include <gtest/gtest.h>

using namespace ImageLib;

TEST(ImageLimits, SampleCountStopsAtTheCapAndNeverOverflows) {
  EXPECT_EQ(CheckedSampleCount(3, 2, 4), 24u);
  EXPECT_EQ(CheckedSampleCount(1 << 13, 1 << 13, 4), size_t(1) << 28);
  EXPECT_EQ(CheckedSampleCount(1 << 13, (1 << 13) + 1, 1), 0u);
  EXPECT_EQ(CheckedSampleCount((1 << 26) + 1, 1, 1), 0u);
  EXPECT_EQ(CheckedSampleCount(1, 1, 5), 0u);
  // Products that wrap around in 32 or 64 bits must not come back small.
  EXPECT_EQ(CheckedSampleCount(65536, 65536, 1), 0u);
  EXPECT_EQ(CheckedSampleCount(INT32_MAX, INT32_MAX, 4), 0u);
  EXPECT_EQ(CheckedSampleCount(int64_t(1) << 32, int64_t(1) << 32, 1), 0u);
  for (int64_t bad : {int64_t(0), int64_t(-1)}) {
    EXPECT_EQ(CheckedSampleCount(bad, 4, 3), 0u);
    EXPECT_EQ(CheckedSampleCount(4, bad, 3), 0u);
    EXPECT_EQ(CheckedSampleCount(4, 4, bad), 0u);
  }
}
