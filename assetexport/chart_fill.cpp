#include "assetexport/chart_fill.h"

#include <algorithm>
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
// Bytes of float planes one fill may hold at once.
constexpr size_t kFloatPlaneBudget = size_t(512) << 20;

// A float plane laid out as RingFill reads it: zeros before the first texel, after the last
// row and past the width of every row.
struct FloatPlane {
  explicit FloatPlane(uint32_t size) : pitch(PitchFor(size)), pad(pitch + 16), floats(FloatsFor(size), 0.0f) {}
  static size_t PitchFor(uint32_t size) { return (size_t(size) + 15) / 16 * 16 + 16; }
  static size_t FloatsFor(uint32_t size) { return 2 * (PitchFor(size) + 16) + PitchFor(size) * size; }
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

  // The channels of every image, a few at a time in floats (the marks are read once for the
  // group), each rounded to bytes once filled. The marks are worked out again for each group,
  // which costs less than holding every channel in floats at once.
  struct Channel {
    uint8_t* first;  // the channel's byte in the first texel
    uint32_t step;   // bytes from one texel to the next
  };
  std::vector<Channel> all;
  for (int k = 0; k < planeCount; ++k) {
    for (uint32_t c = 0; c < channels[k]; ++c) all.push_back({planes[k] + c, channels[k]});
  }
  if (all.empty()) return;
  // As many at once as fit the budget: an 8192 x 8192 plane alone takes 256 MiB.
  const size_t planeBytes = FloatPlane::FloatsFor(size) * sizeof(float);
  const size_t most = std::min<size_t>(RingFill::kPlanesAtOnce, all.size());
  const int atOnce = int(std::clamp<size_t>(kFloatPlaneBudget / planeBytes, 1, most));
  std::vector<FloatPlane> group;
  group.reserve(size_t(atOnce));
  for (int p = 0; p < atOnce; ++p) group.emplace_back(size);
  std::vector<uint8_t> marks;
  RingFill fill;
  for (size_t first = 0; first < all.size(); first += size_t(atOnce)) {
    const int count = int(std::min(all.size() - first, size_t(atOnce)));
    float* values[RingFill::kPlanesAtOnce];
    for (int p = 0; p < count; ++p) {
      const Channel channel = all[first + size_t(p)];
      for (uint32_t y = 0; y < size; ++y) {
        float* row = group[size_t(p)].Texel(0, y);
        const uint8_t* rowMarks = coverage.data() + (size_t(y) + 1) * stride + 1;
        const uint8_t* bytes = channel.first + size_t(y) * size * channel.step;
        for (uint32_t x = 0; x < size; ++x) row[x] = rowMarks[x] == 1 ? float(bytes[size_t(x) * channel.step]) : 0.0f;
      }
      values[p] = group[size_t(p)].Texel(0, 0);
    }
    // Batches of rings: after one, everything it filled counts as covered, which gives every
    // texel the same ring and the same feeders as one fill to the end would.
    marks = coverage;
    do {
      fill.Mark(marks.data(), size, size, kRingsPerBatch);
      fill.Fill(values, count, ptrdiff_t(group[0].pitch));
    } while (std::memchr(marks.data(), 0, marks.size()) != nullptr);
    for (int p = 0; p < count; ++p) {
      const Channel channel = all[first + size_t(p)];
      for (uint32_t y = 0; y < size; ++y) {
        const float* row = group[size_t(p)].Texel(0, y);
        const uint8_t* rowMarks = coverage.data() + (size_t(y) + 1) * stride + 1;
        uint8_t* bytes = channel.first + size_t(y) * size * channel.step;
        for (uint32_t x = 0; x < size; ++x) {
          if (rowMarks[x] != 1) bytes[size_t(x) * channel.step] = uint8_t(row[x] + 0.5f);
        }
      }
    }
  }
}

}  // namespace AssetExport
