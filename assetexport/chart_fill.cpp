#include "assetexport/chart_fill.h"

#include <cstring>
#include <vector>

#include "simulation/ring_fill.h"

namespace AssetExport {
namespace {

using Simulation::RingFill;

// Rings filled between two markings. Every marking costs a few passes over the whole texture,
// and a fill visits each block of its rings once a ring: longer batches mean fewer markings but
// more visits. 64 was the quickest on 4096 and 8192 textures of the bundled models.
constexpr int kRingsPerBatch = 64;

// A float plane laid out as RingFill reads it: zeros before the first texel, after the last
// row and past the width of every row.
struct FloatPlane {
  explicit FloatPlane(uint32_t size)
      : pitch((size_t(size) + 15) / 16 * 16 + 16), pad(pitch + 16), floats(2 * pad + pitch * size, 0.0f) {}
  float* Texel(uint32_t x, uint32_t y) { return floats.data() + pad + size_t(y) * pitch + x; }
  size_t pitch;
  size_t pad;
  std::vector<float> floats;
};

}  // namespace

void FillOutsideCharts(const std::vector<uint8_t>& covered, uint32_t size, uint8_t* const* planes,
                       const uint32_t* channels, int planeCount) {
  const size_t stride = size_t(size) + 2;
  std::vector<uint8_t> coverage(stride * stride + 16, RingFill::kRingBorder);
  bool anyCovered = false;
  for (uint32_t y = 0; y < size; ++y) {
    for (uint32_t x = 0; x < size; ++x) {
      const bool isCovered = covered[size_t(y) * size + x] != 0;
      coverage[(size_t(y) + 1) * stride + x + 1] = isCovered ? 1 : 0;
      anyCovered = anyCovered || isCovered;
    }
  }
  if (!anyCovered) return;

  // One channel at a time, in floats, rounded to bytes once filled: the marks are worked out
  // again for each, which costs less than holding every channel in floats at once.
  FloatPlane plane(size);
  std::vector<uint8_t> marks;
  RingFill fill;
  for (int k = 0; k < planeCount; ++k) {
    const uint32_t count = channels[k];
    for (uint32_t c = 0; c < count; ++c) {
      marks = coverage;
      for (uint32_t y = 0; y < size; ++y) {
        float* row = plane.Texel(0, y);
        const uint8_t* rowMarks = coverage.data() + (size_t(y) + 1) * stride + 1;
        const uint8_t* bytes = planes[k] + size_t(y) * size * count + c;
        for (uint32_t x = 0; x < size; ++x) row[x] = rowMarks[x] == 1 ? float(bytes[size_t(x) * count]) : 0.0f;
      }
      // Batches of rings: after one, everything it filled counts as covered, which gives every
      // texel the same ring and the same feeders as one fill to the end would.
      do {
        fill.Mark(marks.data(), size, size, kRingsPerBatch);
        fill.Fill(plane.Texel(0, 0), ptrdiff_t(plane.pitch));
      } while (std::memchr(marks.data(), 0, marks.size()) != nullptr);
      for (uint32_t y = 0; y < size; ++y) {
        const float* row = plane.Texel(0, y);
        const uint8_t* rowMarks = coverage.data() + (size_t(y) + 1) * stride + 1;
        uint8_t* bytes = planes[k] + size_t(y) * size * count + c;
        for (uint32_t x = 0; x < size; ++x) {
          if (rowMarks[x] != 1) bytes[size_t(x) * count] = uint8_t(row[x] + 0.5f);
        }
      }
    }
  }
}

}  // namespace AssetExport
