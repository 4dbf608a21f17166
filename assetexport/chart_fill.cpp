#include "assetexport/chart_fill.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "simulation/ring_fill.h"

namespace AssetExport {
namespace {

using Simulation::RingFill;

// Bytes of float planes one fill may hold at once.
constexpr size_t kFloatPlaneBudget = size_t(512) << 20;
// Bytes of pyramid means the far fill may hold at once: at 8192 x 8192 one channel's take 90 MiB,
// so that they and the counts stay below the ring fill's one float plane.
constexpr size_t kPyramidBudget = size_t(128) << 20;

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

// One channel of an image: its byte in the first texel and the bytes from one texel to the next.
struct Channel {
  uint8_t* first;
  uint32_t step;
};

// Which blocks of 16 texels of each row the ring fill fills (filled) and which it reads
// (read: those and the blocks next to them, across an edge or a corner).
struct RingBlocks {
  uint32_t perRow = 0;
  std::vector<uint8_t> filled, read;
};

RingBlocks BlocksOf(const RingFill& fill, uint32_t size) {
  RingBlocks blocks;
  blocks.perRow = (size + 15) / 16;
  const size_t perRow = blocks.perRow;
  blocks.filled.assign(perRow * size, 0);
  blocks.read.assign(perRow * size, 0);
  for (uint32_t y = 0; y < size; ++y) {
    for (uint32_t b = 0; b < blocks.perRow; ++b) {
      if (!fill.BlockFills(y, b)) continue;
      blocks.filled[y * perRow + b] = 1;
      for (uint32_t ny = y > 0 ? y - 1 : 0; ny <= std::min(y + 1, size - 1); ++ny) {
        for (uint32_t nb = b > 0 ? b - 1 : 0; nb <= std::min(b + 1, blocks.perRow - 1); ++nb) {
          blocks.read[ny * perRow + nb] = 1;
        }
      }
    }
  }
  return blocks;
}

// The texels at most kExactRings from a chart as the ring fill run to the end gives them. Only
// the blocks the fill reads go into floats and back: the rest of the texture (inside the charts
// or far from them) is never visited.
void FillNearRings(const std::vector<uint8_t>& coverage, std::vector<uint8_t>& marks, RingBlocks& blocks,
                   uint32_t size, const std::vector<Channel>& all) {
  const size_t stride = size_t(size) + 2;
  // A few channels at a time in floats (the marks are read once for the group), each rounded to
  // bytes once filled; as many as fit the budget: an 8192 x 8192 plane alone takes 256 MiB.
  const size_t planeBytes = FloatPlane::FloatsFor(size) * sizeof(float);
  const size_t most = std::min<size_t>(RingFill::kPlanesAtOnce, all.size());
  const int atOnce = int(std::clamp<size_t>(kFloatPlaneBudget / planeBytes, 1, most));
  RingFill fill;
  marks = coverage;
  fill.Mark(marks.data(), size, size, kExactRings);
  blocks = BlocksOf(fill, size);
  std::vector<FloatPlane> group;
  group.reserve(size_t(atOnce));
  for (int p = 0; p < atOnce; ++p) group.emplace_back(size);
  // Calls f(y, x0, x1) for the texels x0 .. x1 - 1 of every block of row y that `which` marks.
  auto forBlocks = [&](const std::vector<uint8_t>& which, auto&& f) {
    for (uint32_t y = 0; y < size; ++y) {
      const uint8_t* rowBlocks = which.data() + size_t(y) * blocks.perRow;
      for (uint32_t b = 0; b < blocks.perRow; ++b) {
        if (rowBlocks[b] != 0) f(y, 16 * b, std::min(16 * b + 16, size));
      }
    }
  };
  for (size_t first = 0; first < all.size(); first += size_t(atOnce)) {
    const int count = int(std::min(all.size() - first, size_t(atOnce)));
    const Channel* these = all.data() + first;
    float* values[RingFill::kPlanesAtOnce];
    for (int p = 0; p < count; ++p) values[p] = group[size_t(p)].Texel(0, 0);
    // Every texel the fill reads, covered or 0, so that what an earlier group filled is 0 again.
    // Without branches: which texels are covered is a coin toss along a ragged chart edge.
    forBlocks(blocks.read, [&](uint32_t y, uint32_t x0, uint32_t x1) {
      const uint8_t* rowMarks = coverage.data() + (size_t(y) + 1) * stride + 1;
      for (int p = 0; p < count; ++p) {
        float* row = group[size_t(p)].Texel(0, y);
        const uint8_t* bytes = these[p].first + size_t(y) * size * these[p].step;
        const uint32_t step = these[p].step;
        for (uint32_t x = x0; x < x1; ++x) row[x] = float(bytes[size_t(x) * step]) * float(rowMarks[x] == 1);
      }
    });
    fill.Fill(values, count, ptrdiff_t(group[0].pitch));
    forBlocks(blocks.filled, [&](uint32_t y, uint32_t x0, uint32_t x1) {
      const uint8_t* rowMarks = marks.data() + (size_t(y) + 1) * stride + 1;
      for (int p = 0; p < count; ++p) {
        const float* row = group[size_t(p)].Texel(0, y);
        uint8_t* bytes = these[p].first + size_t(y) * size * these[p].step;
        const uint32_t step = these[p].step;
        for (uint32_t x = x0; x < x1; ++x) {
          // As bit masks: the compiler turns a choice back into a branch.
          uint8_t& byte = bytes[size_t(x) * step];
          const uint8_t take = uint8_t(-int(rowMarks[x] > 1));
          byte = uint8_t((uint8_t(row[x] + 0.5f) & take) | (byte & ~take));
        }
      }
    });
  }
}

// A pyramid of halved levels over the texels the rings filled (level 0, not stored): how many of
// them each texel of a level spans. Level k's side is size / 2^k rounded up.
struct Pyramid {
  std::vector<uint32_t> sides;   // level k's side, k >= 1
  std::vector<size_t> offsets;   // where level k starts in a level-packed array
  std::vector<uint32_t> counts;  // ring texels under each texel, packed by level
  uint32_t Side(size_t level) const { return sides[level - 1]; }
  size_t Offset(size_t level) const { return offsets[level - 1]; }
  size_t Levels() const { return sides.size(); }
};

Pyramid CountRingTexels(const std::vector<uint8_t>& marks, const RingBlocks& blocks, uint32_t size) {
  Pyramid pyramid;
  size_t total = 0;
  for (uint32_t side = size; side > 1;) {
    side = (side + 1) / 2;
    pyramid.sides.push_back(side);
    pyramid.offsets.push_back(total);
    total += size_t(side) * side;
  }
  pyramid.counts.assign(total, 0);
  const size_t stride = size_t(size) + 2;
  const uint32_t side1 = pyramid.Side(1);
  for (uint32_t y = 0; y < size; ++y) {
    const uint8_t* rowMarks = marks.data() + (size_t(y) + 1) * stride + 1;
    uint32_t* parents = pyramid.counts.data() + size_t(y / 2) * side1;
    for (uint32_t b = 0; b < blocks.perRow; ++b) {
      if (blocks.filled[size_t(y) * blocks.perRow + b] == 0) continue;
      for (uint32_t x = 16 * b; x < std::min(16 * b + 16, size); ++x) parents[x / 2] += rowMarks[x] > 1;
    }
  }
  for (size_t level = 2; level <= pyramid.Levels(); ++level) {
    const uint32_t childSide = pyramid.Side(level - 1), side = pyramid.Side(level);
    const uint32_t* children = pyramid.counts.data() + pyramid.Offset(level - 1);
    uint32_t* parents = pyramid.counts.data() + pyramid.Offset(level);
    for (uint32_t y = 0; y < childSide; ++y) {
      for (uint32_t x = 0; x < childSide; ++x) {
        parents[size_t(y / 2) * side + x / 2] += children[size_t(y) * childSide + x];
      }
    }
  }
  return pyramid;
}

// Every far texel (marked 0) of a plane of kStep bytes a texel takes its level-1 parent's bytes.
// Eight marks are looked at at once: most lie inside a chart or among the rings.
template <uint32_t kStep>
void WriteFarTexels(const std::vector<uint8_t>& marks, uint32_t size, const uint8_t* parentBytes, uint32_t side1,
                    uint8_t* plane) {
  const size_t stride = size_t(size) + 2;
  for (uint32_t y = 0; y < size; ++y) {
    const uint8_t* rowMarks = marks.data() + (size_t(y) + 1) * stride + 1;
    const uint8_t* parents = parentBytes + size_t(y / 2) * side1 * kStep;
    uint8_t* bytes = plane + size_t(y) * size * kStep;
    uint32_t x = 0;
    for (; x + 8 <= size; x += 8) {
      uint64_t eight;
      std::memcpy(&eight, rowMarks + x, sizeof eight);
      // A zero byte among the eight (the classic test: a borrow into a byte's top bit).
      if (((eight - 0x0101010101010101ull) & ~eight & 0x8080808080808080ull) == 0) continue;
      for (uint32_t k = x; k < x + 8; ++k) {
        if (rowMarks[k] == 0) std::memcpy(bytes + size_t(k) * kStep, parents + size_t(k / 2) * kStep, kStep);
      }
    }
    for (; x < size; ++x) {
      if (rowMarks[x] == 0) std::memcpy(bytes + size_t(x) * kStep, parents + size_t(x / 2) * kStep, kStep);
    }
  }
}

// The texels beyond the exact rings (marked 0), by pull-push over the ring texels: down the
// pyramid each texel holds the mean of the ring texels under it; up again every texel without
// any takes its parent's. A far texel so takes the mean of the ring texels in the smallest
// aligned block around it that holds any, which costs a pass over the far texels and one over
// the rings however far the texels lie from the charts.
void FillFarTexels(const std::vector<uint8_t>& marks, const RingBlocks& blocks, uint32_t size, uint8_t* const* planes,
                   const uint32_t* channels, int planeCount) {
  const Pyramid pyramid = CountRingTexels(marks, blocks, size);
  const size_t levels = pyramid.Levels();
  const size_t stride = size_t(size) + 2;
  const uint32_t side1 = pyramid.Side(1);
  const size_t pyramidTexels = pyramid.counts.size();
  std::vector<float> means;
  // Level 1 as the far texels take it, a plane's channels together.
  std::vector<uint8_t> parentBytes;
  for (int k = 0; k < planeCount; ++k) {
    const uint32_t step = channels[k];
    if (step == 0) continue;
    parentBytes.assign(size_t(side1) * side1 * step, 0);
    // A plane's channels through the pyramid together, as many as the budget holds (interleaved:
    // texel i's channel c at i * together + c).
    const uint32_t together =
        uint32_t(std::clamp<size_t>(kPyramidBudget / (pyramidTexels * sizeof(float)), 1, step));
    for (uint32_t firstChannel = 0; firstChannel < step; firstChannel += together) {
      const uint32_t n = std::min(together, step - firstChannel);
      means.assign(pyramidTexels * n, 0.0f);
      // Pull: sums first, divided by the counts once a level is complete.
      for (uint32_t y = 0; y < size; ++y) {
        const uint8_t* rowMarks = marks.data() + (size_t(y) + 1) * stride + 1;
        const uint8_t* bytes = planes[k] + size_t(y) * size * step + firstChannel;
        float* parents = means.data() + size_t(y / 2) * side1 * n;
        for (uint32_t b = 0; b < blocks.perRow; ++b) {
          if (blocks.filled[size_t(y) * blocks.perRow + b] == 0) continue;
          for (uint32_t x = 16 * b; x < std::min(16 * b + 16, size); ++x) {
            if (rowMarks[x] <= 1) continue;
            for (uint32_t c = 0; c < n; ++c) parents[size_t(x / 2) * n + c] += float(bytes[size_t(x) * step + c]);
          }
        }
      }
      for (size_t level = 1; level <= levels; ++level) {
        const uint32_t side = pyramid.Side(level);
        float* levelMeans = means.data() + pyramid.Offset(level) * n;
        const uint32_t* counts = pyramid.counts.data() + pyramid.Offset(level);
        const size_t texels = size_t(side) * side;
        for (size_t i = 0; i < texels; ++i) {
          if (counts[i] == 0) continue;
          const float scale = 1.0f / float(counts[i]);
          for (uint32_t c = 0; c < n; ++c) levelMeans[i * n + c] *= scale;
        }
        if (level == levels) break;
        const uint32_t parentSide = pyramid.Side(level + 1);
        float* parents = means.data() + pyramid.Offset(level + 1) * n;
        for (uint32_t y = 0; y < side; ++y) {
          for (uint32_t x = 0; x < side; ++x) {
            const size_t i = size_t(y) * side + x;
            if (counts[i] == 0) continue;
            float* parent = parents + (size_t(y / 2) * parentSide + x / 2) * n;
            for (uint32_t c = 0; c < n; ++c) parent[c] += levelMeans[i * n + c] * float(counts[i]);
          }
        }
      }
      // Push.
      for (size_t level = levels - 1; level >= 1; --level) {
        const uint32_t side = pyramid.Side(level), parentSide = pyramid.Side(level + 1);
        float* levelMeans = means.data() + pyramid.Offset(level) * n;
        const uint32_t* counts = pyramid.counts.data() + pyramid.Offset(level);
        const float* parents = means.data() + pyramid.Offset(level + 1) * n;
        for (uint32_t y = 0; y < side; ++y) {
          for (uint32_t x = 0; x < side; ++x) {
            const size_t i = size_t(y) * side + x;
            if (counts[i] != 0) continue;
            const float* parent = parents + (size_t(y / 2) * parentSide + x / 2) * n;
            for (uint32_t c = 0; c < n; ++c) levelMeans[i * n + c] = parent[c];
          }
        }
      }
      for (size_t i = 0; i < size_t(side1) * side1; ++i) {
        for (uint32_t c = 0; c < n; ++c) parentBytes[i * step + firstChannel + c] = uint8_t(means[i * n + c] + 0.5f);
      }
    }
    switch (step) {
      case 1: WriteFarTexels<1>(marks, size, parentBytes.data(), side1, planes[k]); break;
      case 2: WriteFarTexels<2>(marks, size, parentBytes.data(), side1, planes[k]); break;
      case 3: WriteFarTexels<3>(marks, size, parentBytes.data(), side1, planes[k]); break;
      case 4: WriteFarTexels<4>(marks, size, parentBytes.data(), side1, planes[k]); break;
      default:
        for (uint32_t y = 0; y < size; ++y) {
          const uint8_t* rowMarks = marks.data() + (size_t(y) + 1) * stride + 1;
          const uint8_t* parents = parentBytes.data() + size_t(y / 2) * side1 * step;
          uint8_t* bytes = planes[k] + size_t(y) * size * step;
          for (uint32_t x = 0; x < size; ++x) {
            if (rowMarks[x] == 0) std::memcpy(bytes + size_t(x) * step, parents + size_t(x / 2) * step, step);
          }
        }
    }
  }
}

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
  std::vector<Channel> all;
  for (int k = 0; k < planeCount; ++k) {
    for (uint32_t c = 0; c < channels[k]; ++c) all.push_back({planes[k] + c, channels[k]});
  }
  if (all.empty()) return;
  std::vector<uint8_t> marks;
  RingBlocks blocks;
  FillNearRings(coverage, marks, blocks, size, all);
  if (size > 1 && std::memchr(marks.data(), 0, marks.size()) != nullptr) {
    FillFarTexels(marks, blocks, size, planes, channels, planeCount);
  }
}

}  // namespace AssetExport
