#include "simulation/radical_inverse.h"

#include <gtest/gtest.h>

#include <cmath>

namespace Simulation {
namespace {

// The radical inverse from its definition, in long double.
long double ExactRadicalInverse(uint32_t j, uint32_t b) {
  long double value = 0, scale = 1.0L / b;
  for (; j != 0; j /= b, scale /= b) value += (j % b) * scale;
  return value;
}

TEST(RadicalInverse, MirrorsTheDigitsBehindThePoint) {
  EXPECT_EQ(RadicalInverse(0, 2), 0.0f);
  EXPECT_EQ(RadicalInverse(1, 2), 0.5f);
  EXPECT_EQ(RadicalInverse(2, 2), 0.25f);
  EXPECT_EQ(RadicalInverse(3, 2), 0.75f);
  EXPECT_EQ(RadicalInverse(1, 7), 1.0f / 7.0f);
  EXPECT_EQ(RadicalInverse(6, 7), 6.0f * (1.0f / 7.0f));  // summed in single precision
  EXPECT_EQ(RadicalInverse(0, 1), 0.0f) << "no radical inverse below base 2";
  EXPECT_EQ(RadicalInverse(5, 0), 0.0f);
  for (uint32_t b : {2u, 3u, 7u, 10u}) {
    for (uint32_t j : {1u, 9u, 48u, 343u, 1000u, 123456u, 4000000000u, 0xFFFFFFFFu}) {
      long double exact = ExactRadicalInverse(j, b);
      EXPECT_NEAR(RadicalInverse(j, b), exact, 1e-6) << j << " in base " << b;
      EXPECT_LT(RadicalInverse(j, b), 1.0f + 1e-6f);
    }
  }
}

}  // namespace
}  // namespace Simulation
