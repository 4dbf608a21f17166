#include "simulation/ring_fill.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace Simulation {
namespace {

#if defined(__SSE2__)
// Four marks as lanes of all ones where the texel was filled before a pass that marks what it
// fills `filled` (marks 1 .. filled - 1), zeros elsewhere.
inline __m128i Feeding(const uint8_t* marks, __m128i filled) {
  uint32_t four;
  std::memcpy(&four, marks, sizeof four);
  const __m128i zero = _mm_setzero_si128();
  const __m128i wide = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(four)), zero), zero);
  return _mm_and_si128(_mm_cmpgt_epi32(wide, zero), _mm_cmpgt_epi32(filled, wide));
}
#endif

#if defined(__x86_64__)
// The values of one neighbour column of eight texels where `feeds` (one byte per texel from
// the column before the first, 0 or all ones) says the neighbour feeds, shifted to this column.
template <int kShift>
__attribute__((target("avx2"), always_inline)) inline __m256 MaskedFeeders(__m128i feeds, const float* at) {
  const __m256i mask = _mm256_cvtepi8_epi32(_mm_srli_si128(feeds, kShift));
  return _mm256_and_ps(_mm256_loadu_ps(at), _mm256_castsi256_ps(mask));
}

// The texels of a row's given blocks of 16 that a dilation pass fills (marks[x] == filled),
// eight at a time: each the mean of its neighbours filled before the pass (marks 1 .. filled
// - 1). `marks` and `values` point at the row's first texel; the rows above and below are a
// stride away, and the reads may reach past either end of the row (marks have a border there
// and spare bytes after the last, values padding), which never feeds. Each group of eight is
// stored only once the next has been read: the next reads the last texel of the one before,
// and a wide load over a store still on its way stalls until the store reaches the cache.
// The passes run in one sweep down the mask, each two rows behind the one before, so when a
// pass reaches a row, of the texels that do not feed only those it filled in the row above
// hold a value: every other one is still 0 (empty, a later pass's, outside the mask or this
// row's, which is stored only after it is read). Only the row above needs its values masked
// then; the others are added as they are, which adds the same as masking them.
// kPlanes planes that share the marks are filled together: the marks are read and the feeders
// counted once for all of them, and each plane keeps its own pending group.
template <int kPlanes>
__attribute__((target("avx2"))) void FillBlocksAvx2(const uint8_t* marks, ptrdiff_t markStride, float* const* rows,
                                                    ptrdiff_t pitch, const uint64_t* blocks, size_t words,
                                                    uint8_t filled) {
  const __m256i before = _mm256_set1_epi32(filled);
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(filled));
  const __m128i one = _mm_set1_epi8(1);
  // A mark m feeds when m - 1 (wrapping) is at most filled - 2.
  const __m128i feedLimit = _mm_set1_epi8(static_cast<char>(filled - 2));
  auto feedsOf = [&](const uint8_t* at) {
    const __m128i less = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), one);
    return _mm_cmpeq_epi8(_mm_min_epu8(less, feedLimit), less);
  };
  ptrdiff_t pendingAt = -1;
  __m256 pending[kPlanes] = {};
  for (size_t word = 0; word < words; ++word) {
    for (uint64_t bits = blocks[word]; bits != 0; bits &= bits - 1) {
      const uint32_t block = static_cast<uint32_t>(64 * word) + static_cast<uint32_t>(__builtin_ctzll(bits));
      for (uint32_t x = 16 * block; x < 16 * block + 16; x += 8) {
        const __m128i here = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(marks + x));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(here, wanted)) == 0) continue;
        const __m128i above = feedsOf(marks - markStride + x - 1);
        const __m128i side = feedsOf(marks + x - 1);
        const __m128i below = feedsOf(marks + markStride + x - 1);
        // How many neighbours feed, counted in bytes (-1 each) over the three columns: the
        // texel itself, which a pass fills, never feeds.
        const __m128i columns = _mm_add_epi8(_mm_add_epi8(above, side), below);
        const __m128i window =
            _mm_add_epi8(_mm_add_epi8(columns, _mm_srli_si128(columns, 1)), _mm_srli_si128(columns, 2));
        const __m256 count =
            _mm256_cvtepi32_ps(_mm256_sub_epi32(_mm256_setzero_si256(), _mm256_cvtepi8_epi32(window)));
        const __m256 target = _mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_cvtepu8_epi32(here), before));
        for (int plane = 0; plane < kPlanes; ++plane) {
          // Added in the order the neighbours are listed: above, side, below, left to right.
          const float* at = rows[plane] + x - 1;
          __m256 sum = MaskedFeeders<0>(above, at - pitch);
          sum = _mm256_add_ps(sum, MaskedFeeders<1>(above, at - pitch + 1));
          sum = _mm256_add_ps(sum, MaskedFeeders<2>(above, at - pitch + 2));
          sum = _mm256_add_ps(sum, _mm256_loadu_ps(at));
          sum = _mm256_add_ps(sum, _mm256_loadu_ps(at + 2));
          sum = _mm256_add_ps(sum, _mm256_loadu_ps(at + pitch));
          sum = _mm256_add_ps(sum, _mm256_loadu_ps(at + pitch + 1));
          sum = _mm256_add_ps(sum, _mm256_loadu_ps(at + pitch + 2));
          // Every texel a pass fills has a neighbour filled the pass before; the other lanes keep
          // their values.
          const __m256 filledValues =
              _mm256_blendv_ps(_mm256_loadu_ps(rows[plane] + x), _mm256_div_ps(sum, count), target);
          if (pendingAt >= 0) _mm256_storeu_ps(rows[plane] + pendingAt, pending[plane]);
          pending[plane] = filledValues;
        }
        pendingAt = x;
      }
    }
  }
  if (pendingAt >= 0) {
    for (int plane = 0; plane < kPlanes; ++plane) _mm256_storeu_ps(rows[plane] + pendingAt, pending[plane]);
  }
}
#endif

}  // namespace

int RingFill::Mark(uint8_t* ringMarks, uint32_t ringWidth, uint32_t ringHeight, int passes) {
  passes = std::clamp(passes, 0, kMaxRings);
  marks = ringMarks;
  width = ringWidth;
  height = ringHeight;
  rings = passes;
  if (passes == 0) return 0;
  const size_t stride = size_t(width) + 2;
  constexpr uint8_t kFar = 255;

  // A pass fills the empty texels next to filled ones, so pass n fills exactly those whose
  // chessboard distance to the nearest covered texel is n. That distance is separable: first
  // each texel's distance in rows to the nearest covered texel of its column (a sweep down and
  // one up), then the least over the texels at most `passes` columns away of the larger of the
  // column distance and the column offset. Rows of the distances have `passes` texels of
  // apron on either side, far from everything.
  // Whole blocks of 16 texels of apron, at least one, so that a block can look at the blocks
  // within reach on either side.
  const size_t apron = (size_t(passes) + 15) / 16 * 16;
  const size_t rowLength = size_t(width) + 2 * apron;
  reach.resize(rowLength * height);
  const uint32_t w0 = width, h0 = height;  // locals: the byte stores below may alias members
  for (uint32_t y = 0; y < h0; ++y) {
    uint8_t* row = reach.data() + y * rowLength;
    const uint8_t* rowMarks = marks + (size_t(y) + 1) * stride + 1;
    std::memset(row, kFar, apron);
    std::memset(row + apron + w0, kFar, apron);
    uint32_t x = 0;
#if defined(__SSE2__)
    // Sixteen at a time: the compiler cannot, not knowing that the marks and the row are apart.
    const __m128i empty = _mm_setzero_si128();
    const __m128i far = _mm_set1_epi8(static_cast<char>(kFar));
    for (; x + 16 <= w0; x += 16) {
      const __m128i isEmpty = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rowMarks + x)), empty);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(row + apron + x), _mm_and_si128(isEmpty, far));
    }
#endif
    for (; x < w0; ++x) row[apron + x] = rowMarks[x] == 0 ? kFar : 0;
  }
  // Down and then up: each row from the one before it, plus one, saturating at kFar.
  auto sweep = [&](uint32_t y, uint32_t from) {
    uint8_t* row = reach.data() + y * rowLength + apron;
    const uint8_t* before = reach.data() + from * rowLength + apron;
    uint32_t x = 0;
#if defined(__SSE2__)
    const __m128i one = _mm_set1_epi8(1);
    for (; x + 16 <= width; x += 16) {
      const __m128i carried = _mm_adds_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(before + x)), one);
      __m128i* out = reinterpret_cast<__m128i*>(row + x);
      _mm_storeu_si128(out, _mm_min_epu8(_mm_loadu_si128(out), carried));
    }
#endif
    for (; x < width; ++x) row[x] = std::min<uint8_t>(row[x], static_cast<uint8_t>(before[x] + (before[x] < kFar)));
  };
  for (uint32_t y = 1; y < height; ++y) sweep(y, y - 1);
  for (uint32_t y = height - 1; y-- > 0;) sweep(y, y + 1);

  // The chessboard distance, as the generation a texel gets: 1 covered, 1 + n filled by pass
  // n, 0 never filled; and which blocks of 16 hold texels to fill, so that the passes skip
  // the rest (most of a mask lies inside a chart or far from every chart).
  const size_t blockWords = (size_t(width) / 16 + 63) / 64;
  blocks.assign(blockWords * height, 0);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = reach.data() + y * rowLength + apron;
    uint8_t* rowMarks = marks + (size_t(y) + 1) * stride + 1;
    uint64_t* rowBlocks = blocks.data() + y * blockWords;
    uint32_t x = 0;
#if defined(__SSE2__)
    const __m128i limit = _mm_set1_epi8(static_cast<char>(passes));
    const __m128i one = _mm_set1_epi8(1);
    // Most blocks lie wholly inside what is covered or far from it: the first are told by
    // their own column distances, the second by those of the blocks within reach on either
    // side (a load a block rather than one an offset), without the search along the row.
    const bool nearOnly = passes <= 16;
    const __m128i zero = _mm_setzero_si128();
    for (; x + 16 <= width; x += 16) {
      __m128i distance = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
      if (_mm_movemask_epi8(_mm_cmpeq_epi8(distance, zero)) == 0xffff) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rowMarks + x), one);
        continue;
      }
      // Nothing within reach: every byte above the limit (its own minimum with it is not it).
      auto beyondReach = [&](__m128i nearest) {
        return _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(nearest, limit), nearest)) == 0;
      };
      if (nearOnly) {
        const __m128i nearest =
            _mm_min_epu8(_mm_min_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x - 16)), distance),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x + 16)));
        if (beyondReach(nearest)) {
          _mm_storeu_si128(reinterpret_cast<__m128i*>(rowMarks + x), zero);
          continue;
        }
      } else {
        __m128i nearest = distance;
        for (size_t offset = 16; offset <= apron; offset += 16) {
          nearest = _mm_min_epu8(nearest, _mm_min_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x - offset)),
                                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x + offset))));
        }
        if (beyondReach(nearest)) {
          _mm_storeu_si128(reinterpret_cast<__m128i*>(rowMarks + x), zero);
          continue;
        }
      }
      for (int offset = 1; offset <= passes; ++offset) {
        const __m128i least = _mm_set1_epi8(static_cast<char>(offset));
        const __m128i left = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x - offset));
        const __m128i right = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x + offset));
        distance = _mm_min_epu8(distance, _mm_min_epu8(_mm_max_epu8(left, least), _mm_max_epu8(right, least)));
      }
      // Within reach: distance + 1; beyond: 0.
      const __m128i within = _mm_cmpeq_epi8(_mm_min_epu8(distance, limit), distance);
      const __m128i generation = _mm_and_si128(_mm_add_epi8(distance, one), within);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(rowMarks + x), generation);
      // Some generation above 1: where it is not its own minimum with 1.
      if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(generation, one), generation)) != 0xffff) {
        rowBlocks[x / 1024] |= uint64_t(1) << ((x / 16) % 64);
      }
    }
#endif
    for (; x < width; ++x) {
      uint8_t distance = row[x];
      for (int offset = 1; offset <= passes; ++offset) {
        const uint8_t least = static_cast<uint8_t>(offset);
        distance = std::min({distance, std::max(row[ptrdiff_t(x) - offset], least), std::max(row[x + offset], least)});
      }
      rowMarks[x] = distance <= passes ? static_cast<uint8_t>(distance + 1) : 0;
    }
  }
  return passes;
}

bool RingFill::BlockFills(uint32_t y, uint32_t block) const {
  if (rings == 0) return false;
#if defined(__SSE2__)
  const size_t blockWords = (size_t(width) / 16 + 63) / 64;
  if (block >= width / 16) return true;
  return (blocks[y * blockWords + block / 64] >> (block % 64) & 1) != 0;
#else
  (void)y;
  (void)block;
  return true;
#endif
}

void RingFill::Fill(float* values, ptrdiff_t pitch) const { Fill(&values, 1, pitch); }

void RingFill::Fill(float* const* planes, int planeCount, ptrdiff_t pitch) const {
  for (int first = 0; first < planeCount; first += kPlanesAtOnce) {
    FillTogether(planes + first, std::min(kPlanesAtOnce, planeCount - first), pitch);
  }
}

void RingFill::FillTogether(float* const* planes, int planeCount, ptrdiff_t pitch) const {
  const int passes = rings;
  if (passes == 0) return;
  const size_t stride = size_t(width) + 2;
  const size_t blockWords = (size_t(width) / 16 + 63) / 64;
  // The passes in order, each a sweep over the marks for the texels it fills, which take the
  // mean of their neighbours filled before (generations 1 .. pass). The rows are visited in
  // order, so the values read stay in the cache.
  const ptrdiff_t markStride = ptrdiff_t(stride);
  const ptrdiff_t w = ptrdiff_t(pitch);
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
#endif
#if !defined(__SSE2__)
  const ptrdiff_t markNeighbours[8] = {-markStride - 1, -markStride, -markStride + 1, -1, 1,
                                       markStride - 1,  markStride,  markStride + 1};
  const ptrdiff_t texelNeighbours[8] = {-w - 1, -w, -w + 1, -1, 1, w - 1, w, w + 1};
#else
  const __m128i rowLanes = _mm_setr_epi32(-1, -1, -1, 0);
  const __m128i sideLanes = _mm_setr_epi32(-1, 0, -1, 0);
#endif
  // Fills the texels of row y that the pass fills.
  auto fillRow = [&](int pass, uint32_t y) {
    const uint8_t filled = static_cast<uint8_t>(pass + 1);
#if defined(__SSE2__)
    const __m128i filledBelow = _mm_set1_epi32(filled);
    const __m128i wanted = _mm_set1_epi8(static_cast<char>(filled));
#endif
    // Fills one texel of every plane.
    auto fill = [&](ptrdiff_t mark, ptrdiff_t texel) {
#if defined(__SSE2__)
      // The three rows of neighbours four texels at a time, the fourth and the texel itself
      // masked off: no branch on whether a neighbour feeds, which is a coin toss along a ragged
      // edge. The reads may reach a texel past the mask's edge (the values have an apron, the
      // marks a border and spare bytes) but what they read there never feeds.
      const uint8_t* here = marks + mark;
      const __m128i aboveFeeds = _mm_and_si128(Feeding(here - markStride - 1, filledBelow), rowLanes);
      const __m128i hereFeeds = _mm_and_si128(Feeding(here - 1, filledBelow), sideLanes);
      const __m128i belowFeeds = _mm_and_si128(Feeding(here + markStride - 1, filledBelow), rowLanes);
      __m128i counts4 = _mm_add_epi32(_mm_add_epi32(aboveFeeds, hereFeeds), belowFeeds);  // -1 per feeder
      counts4 = _mm_add_epi32(counts4, _mm_shuffle_epi32(counts4, 0x4e));
      counts4 = _mm_add_epi32(counts4, _mm_shuffle_epi32(counts4, 0xb1));
      const float count = static_cast<float>(-_mm_cvtsi128_si32(counts4));
      for (int plane = 0; plane < planeCount; ++plane) {
        float* value = planes[plane] + texel;
        __m128 sums4 = _mm_and_ps(_mm_loadu_ps(value - w - 1), _mm_castsi128_ps(aboveFeeds));
        // The texel's own row as two single loads: the texel before may have been filled just
        // now, and a wide load over that store would wait for it to reach the cache.
        sums4 =
            _mm_add_ps(sums4, _mm_and_ps(_mm_setr_ps(value[-1], 0.0f, value[1], 0.0f), _mm_castsi128_ps(hereFeeds)));
        sums4 = _mm_add_ps(sums4, _mm_and_ps(_mm_loadu_ps(value + w - 1), _mm_castsi128_ps(belowFeeds)));
        sums4 = _mm_add_ps(sums4, _mm_movehl_ps(sums4, sums4));
        sums4 = _mm_add_ss(sums4, _mm_shuffle_ps(sums4, sums4, 1));
        *value = _mm_cvtss_f32(sums4) / count;
      }
#else
      for (int plane = 0; plane < planeCount; ++plane) {
        float sum = 0.0f;
        int feeding = 0;
        for (int n = 0; n < 8; ++n) {
          const uint8_t neighbour = marks[mark + markNeighbours[n]];
          // Marks 1 .. filled - 1 are the texels filled before this pass.
          const bool feeds = static_cast<uint8_t>(neighbour - 1) < static_cast<uint8_t>(filled - 1);
          sum += feeds ? planes[plane][texel + texelNeighbours[n]] : 0.0f;
          feeding += feeds;
        }
        planes[plane][texel] = sum / static_cast<float>(feeding);
      }
#endif
    };
    const ptrdiff_t rowMark = ptrdiff_t(y + 1) * markStride + 1;
    const ptrdiff_t rowTexel = ptrdiff_t(y) * w;
    uint32_t x = 0;
#if defined(__SSE2__)
    const uint64_t* rowBlocks = blocks.data() + y * blockWords;
    x = width / 16 * 16;
#if defined(__x86_64__)
    if (avx2) {
      float* rows[kPlanesAtOnce];
      for (int plane = 0; plane < planeCount; ++plane) rows[plane] = planes[plane] + rowTexel;
      const uint8_t* rowMarks = marks + rowMark;
      if (planeCount == 1) FillBlocksAvx2<1>(rowMarks, markStride, rows, w, rowBlocks, blockWords, filled);
      if (planeCount == 2) FillBlocksAvx2<2>(rowMarks, markStride, rows, w, rowBlocks, blockWords, filled);
      if (planeCount == 3) FillBlocksAvx2<3>(rowMarks, markStride, rows, w, rowBlocks, blockWords, filled);
    } else
#endif
    {
      for (size_t word = 0; word < blockWords; ++word) {
        for (uint64_t bits = rowBlocks[word]; bits != 0; bits &= bits - 1) {
          const uint32_t block = 16 * (static_cast<uint32_t>(64 * word) + static_cast<uint32_t>(__builtin_ctzll(bits)));
          uint32_t hits = static_cast<uint32_t>(_mm_movemask_epi8(
              _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(marks + rowMark + block)), wanted)));
          while (hits != 0) {
            const uint32_t k = block + static_cast<uint32_t>(__builtin_ctz(hits));
            fill(rowMark + k, rowTexel + k);
            hits &= hits - 1;
          }
        }
      }
    }
#endif
    for (; x < width; ++x) {
      if (marks[rowMark + x] == filled) fill(rowMark + x, rowTexel + x);
    }
  };
  // All passes in one sweep down the mask, each two rows behind the one before: pass n at row
  // y reads rows y - 1 .. y + 1 of what pass n - 1 filled, which it did a step of the sweep
  // earlier (not just now: reading a value still on its way to the cache stalls). The rows in
  // flight stay in the cache instead of being read from memory once per pass.
  for (uint32_t front = 0; front < height + 2 * uint32_t(passes - 1); ++front) {
    for (int pass = 1; pass <= passes; ++pass) {
      const uint32_t lag = 2 * uint32_t(pass - 1);
      if (front >= lag && front - lag < height) fillRow(pass, front - lag);
    }
  }
}

}  // namespace Simulation
