#include "simulation/ring_fill.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

namespace Simulation {
namespace {

// A small texture with a few scattered covered texels, far enough apart that some texels lie
// more than one batch of rings away from all of them.
struct Texture {
  static constexpr uint32_t kWidth = 70;
  static constexpr uint32_t kHeight = 45;
  static constexpr ptrdiff_t kPitch = 96;
  static constexpr size_t kPad = kPitch + 16;
  std::vector<uint8_t> marks = std::vector<uint8_t>((kWidth + 2) * (kHeight + 2) + 16, RingFill::kRingBorder);
  std::vector<float> plane = std::vector<float>(2 * kPad + kPitch * kHeight, 0.0f);

  explicit Texture(unsigned seed) {
    std::mt19937 random(seed);
    for (uint32_t y = 0; y < kHeight; ++y) {
      for (uint32_t x = 0; x < kWidth; ++x) Mark(x, y) = 0;
    }
    for (int k = 0; k < 6; ++k) {
      const uint32_t x = random() % kWidth, y = random() % kHeight;
      Mark(x, y) = 1;
      Value(x, y) = float(random() % 1000) / 7.0f;
    }
  }
  uint8_t& Mark(uint32_t x, uint32_t y) { return marks[(y + 1) * (kWidth + 2) + x + 1]; }
  float& Value(uint32_t x, uint32_t y) { return plane[kPad + y * kPitch + x]; }
  float* Values() { return plane.data() + kPad; }
};

// The fill written the slow way: each texel's ring by searching every covered texel, then ring
// after ring the mean of the neighbours of earlier rings.
std::vector<float> ReferenceFill(Texture texture) {
  const uint32_t w = Texture::kWidth, h = Texture::kHeight;
  std::vector<int> ring(size_t(w) * h, 1 << 20);
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      for (uint32_t v = 0; v < h; ++v) {
        for (uint32_t u = 0; u < w; ++u) {
          if (texture.Mark(u, v) != 1) continue;
          const int distance = std::max(std::abs(int(u) - int(x)), std::abs(int(v) - int(y)));
          ring[y * w + x] = std::min(ring[y * w + x], distance);
        }
      }
    }
  }
  const int last = *std::max_element(ring.begin(), ring.end());
  for (int r = 1; r <= last; ++r) {
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) {
        if (ring[y * w + x] != r) continue;
        float sum = 0.0f;
        int feeders = 0;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = int(x) + dx, ny = int(y) + dy;
            if (nx < 0 || ny < 0 || nx >= int(w) || ny >= int(h) || ring[ny * w + nx] >= r) continue;
            sum += texture.Value(uint32_t(nx), uint32_t(ny));
            ++feeders;
          }
        }
        texture.Value(x, y) = sum / float(feeders);
      }
    }
  }
  return texture.plane;
}

TEST(RingFill, OneLongFillMatchesTheFillWrittenTheSlowWay) {
  for (unsigned seed = 1; seed <= 4; ++seed) {
    Texture texture(seed);
    const std::vector<float> expected = ReferenceFill(texture);
    RingFill fill;
    EXPECT_EQ(fill.Mark(texture.marks.data(), Texture::kWidth, Texture::kHeight, 400), RingFill::kMaxRings);
    fill.Fill(texture.Values(), Texture::kPitch);
    for (uint32_t y = 0; y < Texture::kHeight; ++y) {
      for (uint32_t x = 0; x < Texture::kWidth; ++x) {
        const float want = expected[Texture::kPad + y * Texture::kPitch + x];
        ASSERT_NEAR(texture.Value(x, y), want, 1e-4f * std::max(1.0f, want)) << "seed " << seed << " at " << x << ", " << y;
      }
    }
  }
}

// Short batches, each taking what the last reached as covered, give every texel the same ring
// and feeders as one long fill, and so the very same values.
TEST(RingFill, BatchesOfRingsFillAsOneLongFillDoes) {
  for (unsigned seed = 1; seed <= 4; ++seed) {
    Texture continuous(seed), batched(seed);
    RingFill fill;
    fill.Mark(continuous.marks.data(), Texture::kWidth, Texture::kHeight, RingFill::kMaxRings);
    fill.Fill(continuous.Values(), Texture::kPitch);
    int batches = 0;
    do {
      EXPECT_EQ(fill.Mark(batched.marks.data(), Texture::kWidth, Texture::kHeight, 3), 3);
      fill.Fill(batched.Values(), Texture::kPitch);
      ++batches;
    } while (std::find(batched.marks.begin(), batched.marks.end(), 0) != batched.marks.end() && batches < 100);
    EXPECT_GT(batches, 2) << "seed " << seed;
    EXPECT_EQ(batched.plane, continuous.plane) << "seed " << seed;
  }
}

// Planes filled together (more than fill at once, so in groups) each get exactly the values a
// fill of that plane alone gives them.
TEST(RingFill, PlanesFilledTogetherMatchEachFilledAlone) {
  constexpr int kPlanes = RingFill::kPlanesAtOnce + 2;
  std::vector<Texture> together, alone;
  for (int p = 0; p < kPlanes; ++p) {
    // One coverage for all, different values in each plane.
    together.emplace_back(1);
    for (float& value : together.back().plane) value *= float(p + 1) * 0.37f;
  }
  alone = together;
  RingFill fill;
  std::vector<float*> planes;
  for (Texture& texture : together) planes.push_back(texture.Values());
  fill.Mark(together[0].marks.data(), Texture::kWidth, Texture::kHeight, RingFill::kMaxRings);
  fill.Fill(planes.data(), kPlanes, Texture::kPitch);
  for (int p = 0; p < kPlanes; ++p) {
    fill.Mark(alone[size_t(p)].marks.data(), Texture::kWidth, Texture::kHeight, RingFill::kMaxRings);
    fill.Fill(alone[size_t(p)].Values(), Texture::kPitch);
    EXPECT_EQ(together[size_t(p)].plane, alone[size_t(p)].plane) << "plane " << p;
  }
}

}  // namespace
}  // namespace Simulation
