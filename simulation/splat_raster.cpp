#include "simulation/splat_raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Simulation {
namespace {

// The mark of texels waiting in the dilation's frontier, so that they are queued once and do
// not count as filled, and of the border around the mask, which is never filled.
constexpr uint8_t kQueued = 255;

// The first pixel index whose centre lies at or after edge, clamped to 0 .. limit. Computed in
// double so that squares far outside the mask do not overflow the conversion to int, and
// without a call to ceil, which is a library call on processors without SSE4.1.
int32_t FirstPixelAtOrAfter(float edge, uint32_t limit) {
  const double first = double(edge) - 0.5;
  if (!(first > 0.0)) return 0;
  if (first >= double(limit)) return static_cast<int32_t>(limit);
  const int32_t truncated = static_cast<int32_t>(first);
  return truncated + (double(truncated) < first ? 1 : 0);
}

// A splat coordinate (0..1 across the splat) as the splat texel at or before it, clamped to
// -1 .. size - 1 (the range SplatImage::Taps() covers), and the blend towards the next texel.
struct TexelBlend {
  int32_t texel;
  float blend;
};

TexelBlend Blend(float coordinate, int32_t size) {
  const float position = coordinate * static_cast<float>(size) - 0.5f;
  // Pixel centres inside the square give coordinates in [0, 1], so position >= -0.5 and
  // truncating position + 1 floors it (the clamp below catches rounding at either end).
  const int32_t before = static_cast<int32_t>(position + 1.0f) - 1;
  return {std::clamp(before, -1, size - 1), position - static_cast<float>(before)};
}

// A texel waiting to be filled by the dilation. Both indices fit 32 bits for every mask a
// JPEG can hold.
struct FrontierEntry {
  uint32_t texel;  // y * width + x
  uint32_t mark;   // its place in the marks, which have a border all round
};

// A list of frontier entries whose storage is reserved up front and never zeroed.
struct FrontierList {
  std::unique_ptr<FrontierEntry[]> items;
  size_t capacity = 0;
  size_t count = 0;

  void Reserve(size_t wanted) {
    if (wanted <= capacity) return;
    std::unique_ptr<FrontierEntry[]> grown(new FrontierEntry[wanted]);
    std::copy(items.get(), items.get() + count, grown.get());
    items = std::move(grown);
    capacity = wanted;
  }
  void Push(FrontierEntry entry) {
    if (count == capacity) Reserve(std::max<size_t>(1024, 2 * capacity));
    items[count++] = entry;
  }
};

}  // namespace

SplatRaster::SplatRaster(uint32_t width, uint32_t height)
    : width(width),
      height(height),
      sums(new float[2 * size_t(width) * height]),
      generation(new uint8_t[(size_t(width) + 2) * (size_t(height) + 2)]),
      columnTaps(new int32_t[size_t(width) + 4]),
      columnLeft(new float[size_t(width) + 4]),
      columnRight(new float[size_t(width) + 4]) {
  Clear();
}

void SplatRaster::Clear() {
  std::memset(sums.get(), 0, 2 * size_t(width) * height * sizeof(float));
  std::memset(generation.get(), 0, (size_t(width) + 2) * (size_t(height) + 2));
}

void SplatRaster::Draw(const SplatSquare& square, float value, const SplatImage& splat) {
  const float hx = square.halfWidth, hy = square.halfHeight;
  if (!(hx > 0.0f) || !(hy > 0.0f) || !std::isfinite(hx) || !std::isfinite(hy) || !std::isfinite(square.centreX) ||
      !std::isfinite(square.centreY) || !std::isfinite(value) || splat.Width() == 0 || splat.Height() == 0) {
    return;
  }
  const float left = square.centreX - hx, right = square.centreX + hx;
  const float top = square.centreY - hy, bottom = square.centreY + hy;
  const int32_t x0 = FirstPixelAtOrAfter(left, width), x1 = FirstPixelAtOrAfter(right, width);
  const int32_t y0 = FirstPixelAtOrAfter(top, height), y1 = FirstPixelAtOrAfter(bottom, height);
  if (x0 >= x1 || y0 >= y1) return;

  const int32_t splatWidth = static_cast<int32_t>(splat.Width());
  const int32_t splatHeight = static_cast<int32_t>(splat.Height());
  const size_t tapRow = 4 * (size_t(splatWidth) + 1);
  const float perColumn = 1.0f / (2.0f * hx), perRow = 1.0f / (2.0f * hy);
  const int32_t columns = x1 - x0;
  for (int32_t k = 0; k < columns; ++k) {
    const TexelBlend blend = Blend((static_cast<float>(x0 + k) + 0.5f - left) * perColumn, splatWidth);
    columnTaps[k] = 4 * (blend.texel + 1);
    columnLeft[k] = 1.0f - blend.blend;
    columnRight[k] = blend.blend;
  }
  // Columns past the square's right edge up to a whole group of four weigh nothing.
  const int32_t padded = (columns + 3) & ~3;
  for (int32_t k = columns; k < padded; ++k) {
    columnTaps[k] = 0;
    columnLeft[k] = columnRight[k] = 0.0f;
  }
  // A last group that runs past the mask's right edge is done texel by texel instead.
  const int32_t grouped = x0 + padded <= static_cast<int32_t>(width) ? padded : columns & ~3;

  const float* taps = splat.Taps();
  for (int32_t y = y0; y < y1; ++y) {
    // The splat's first row lies along the square's bottom edge.
    const TexelBlend rowBlend = Blend((bottom - (static_cast<float>(y) + 0.5f)) * perRow, splatHeight);
    const float* row = taps + size_t(rowBlend.texel + 1) * tapRow;
    const float upperWeight = 1.0f - rowBlend.blend, lowerWeight = rowBlend.blend;
    float* texelSums = sums.get() + 2 * (size_t(y) * width + x0);
    int32_t k = 0;
#if defined(__SSE2__)
    const __m128 upper = _mm_set1_ps(upperWeight), lower = _mm_set1_ps(lowerWeight);
    const __m128 tint = _mm_set1_ps(value);
    for (; k < grouped; k += 4) {
      // The four taps of four texels, turned so that each register holds one tap of all four.
      __m128 a = _mm_loadu_ps(row + columnTaps[k]);
      __m128 b = _mm_loadu_ps(row + columnTaps[k + 1]);
      __m128 c = _mm_loadu_ps(row + columnTaps[k + 2]);
      __m128 d = _mm_loadu_ps(row + columnTaps[k + 3]);
      _MM_TRANSPOSE4_PS(a, b, c, d);
      const __m128 leftWeight = _mm_loadu_ps(columnLeft.get() + k);
      const __m128 rightWeight = _mm_loadu_ps(columnRight.get() + k);
      const __m128 upperRow = _mm_add_ps(_mm_mul_ps(a, leftWeight), _mm_mul_ps(b, rightWeight));
      const __m128 lowerRow = _mm_add_ps(_mm_mul_ps(c, leftWeight), _mm_mul_ps(d, rightWeight));
      const __m128 weight = _mm_add_ps(_mm_mul_ps(upperRow, upper), _mm_mul_ps(lowerRow, lower));
      const __m128 tinted = _mm_mul_ps(weight, tint);
      float* out = texelSums + 2 * k;
      _mm_storeu_ps(out, _mm_add_ps(_mm_loadu_ps(out), _mm_unpacklo_ps(tinted, weight)));
      _mm_storeu_ps(out + 4, _mm_add_ps(_mm_loadu_ps(out + 4), _mm_unpackhi_ps(tinted, weight)));
    }
#endif
    for (; k < columns; ++k) {
      const float* tap = row + columnTaps[k];
      const float upperRow = tap[0] * columnLeft[k] + tap[1] * columnRight[k];
      const float lowerRow = tap[2] * columnLeft[k] + tap[3] * columnRight[k];
      const float weight = upperRow * upperWeight + lowerRow * lowerWeight;
      texelSums[2 * k] += weight * value;
      texelSums[2 * k + 1] += weight;
    }
  }
}

void SplatRaster::Resolve() {
  const size_t rowStride = size_t(width) + 2;
  std::memset(generation.get(), kQueued, rowStride);
  std::memset(generation.get() + (size_t(height) + 1) * rowStride, kQueued, rowStride);
  for (uint32_t y = 0; y < height; ++y) {
    generation[(size_t(y) + 1) * rowStride] = kQueued;
    generation[(size_t(y) + 1) * rowStride + width + 1] = kQueued;
  }
  for (uint32_t y = 0; y < height; ++y) {
    float* rowSums = sums.get() + 2 * size_t(y) * width;
    uint8_t* marks = generation.get() + (size_t(y) + 1) * rowStride + 1;
    for (uint32_t x = 0; x < width; ++x) {
      const float weight = rowSums[2 * x + 1];
      const bool covered = weight > 0.0f;
      rowSums[2 * x] = covered ? rowSums[2 * x] / weight : 0.0f;
      marks[x] = covered ? 1 : 0;
    }
  }
}

void SplatRaster::Dilate(int passes) {
  passes = std::clamp(passes, 0, 253);
  if (passes == 0) return;
  const ptrdiff_t stride = ptrdiff_t(width) + 2;
  const ptrdiff_t markNeighbours[8] = {-stride - 1, -stride, -stride + 1, -1, 1, stride - 1, stride, stride + 1};
  const ptrdiff_t w = ptrdiff_t(width);
  const ptrdiff_t texelNeighbours[8] = {-w - 1, -w, -w + 1, -1, 1, w - 1, w, w + 1};
  uint8_t* marks = generation.get();
  float* texelSums = sums.get();

  // The frontier: the empty texels next to a filled one. Only these can fill in the next
  // pass, so each pass looks at them and not at the whole mask.
  FrontierList frontier, next;
  for (uint32_t y = 0; y < height; ++y) {
    const size_t rowMarks = (size_t(y) + 1) * stride + 1;
    const uint8_t* here = marks + rowMarks;
    const uint8_t* above = here - stride;
    const uint8_t* below = here + stride;
    uint32_t x = 0;
    while (x < width) {
      // Eight texels at a time: skip them where they are all filled, or where they and every
      // neighbour of them are empty; the atlas is mostly one or the other.
      if (x + 8 <= width) {
        uint64_t a, b, c;
        std::memcpy(&a, above + x, 8);
        std::memcpy(&b, here + x, 8);
        std::memcpy(&c, below + x, 8);
        constexpr uint64_t kLow = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
        const bool noneEmpty = ((b - kLow) & ~b & kHigh) == 0;
        const ptrdiff_t before = ptrdiff_t(x) - 1, after = ptrdiff_t(x) + 8;
        const bool allAlone = (a | b | c) == 0 && (here[before] | above[before] | below[before]) == 0 &&
                              (here[after] | above[after] | below[after]) == 0;
        if (noneEmpty || allAlone) {
          x += 8;
          continue;
        }
      }
      if (here[x] == 0) {
        for (ptrdiff_t offset : markNeighbours) {
          if (here[ptrdiff_t(x) + offset] == 1) {
            frontier.Push({uint32_t(size_t(y) * width + x), uint32_t(rowMarks + x)});
            break;
          }
        }
      }
      ++x;
    }
  }
  for (size_t i = 0; i < frontier.count; ++i) marks[frontier.items[i].mark] = kQueued;

  // Whether a texel is filled or not is close to a coin toss along a ragged edge, so the
  // loops below select instead of branching on it.
  for (int pass = 1; pass <= passes && frontier.count > 0; ++pass) {
    // Texels filled in this pass are marked pass + 1 and do not feed their neighbours until
    // the next pass, so each pass grows the filled region by exactly one texel.
    const uint8_t filled = static_cast<uint8_t>(pass + 1);
    for (size_t i = 0; i < frontier.count; ++i) {
      const FrontierEntry entry = frontier.items[i];
      float sum = 0.0f;
      int feeding = 0;
      for (int n = 0; n < 8; ++n) {
        // Marks 1 .. filled - 1 are the texels filled before this pass.
        const uint8_t mark = marks[ptrdiff_t(entry.mark) + markNeighbours[n]];
        const bool feeds = static_cast<uint8_t>(mark - 1) < static_cast<uint8_t>(filled - 1);
        // Reads the texel itself in place of a neighbour that does not feed, which may lie
        // outside the mask.
        const ptrdiff_t source = ptrdiff_t(entry.texel) + (feeds ? texelNeighbours[n] : 0);
        sum += feeds ? texelSums[2 * source] : 0.0f;
        feeding += feeds;
      }
      texelSums[2 * size_t(entry.texel)] = sum / static_cast<float>(feeding);
      marks[entry.mark] = filled;
    }
    if (pass == passes) break;
    next.Reserve(8 * frontier.count);
    next.count = 0;
    for (size_t i = 0; i < frontier.count; ++i) {
      const FrontierEntry entry = frontier.items[i];
      for (int n = 0; n < 8; ++n) {
        const ptrdiff_t neighbour = ptrdiff_t(entry.mark) + markNeighbours[n];
        const bool fresh = marks[neighbour] == 0;
        marks[neighbour] = fresh ? kQueued : marks[neighbour];
        next.items[next.count] = {uint32_t(ptrdiff_t(entry.texel) + texelNeighbours[n]), uint32_t(neighbour)};
        next.count += fresh;
      }
    }
    std::swap(frontier, next);
  }
}

void SplatRaster::ToRgb(uint8_t* rgb) const {
  const size_t count = size_t(width) * height;
  for (size_t i = 0; i < count; ++i) {
    const float value = sums[2 * i];
    // Written so that NaN lands on 0.
    const float clamped = value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;
    const uint8_t grey = static_cast<uint8_t>(clamped * 255.0f + 0.5f);
    rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = grey;
  }
}

void SplatRaster::ToGrey16(uint16_t* grey) const {
  const size_t count = size_t(width) * height;
  for (size_t i = 0; i < count; ++i) {
    const float value = sums[2 * i];
    const float clamped = value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;
    grey[i] = static_cast<uint16_t>(clamped * 65535.0f + 0.5f);
  }
}

}  // namespace Simulation
