#include "simulation/splat_raster.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform_os/huge_pages.h"
#include "simulation/ring_fill.h"

namespace Simulation {
namespace {

// The mark of the border around the mask, which is never filled and never feeds a neighbour.
constexpr uint8_t kBorder = RingFill::kRingBorder;

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

// The same for a finite edge, in float and without branches: subtracting 0.5 is exact for
// every edge that does not land beyond either end of a mask (masks are far narrower than 2^23).
inline int32_t FirstPixelAtOrAfterFinite(float edge, uint32_t limit) {
  const float first = std::min(std::max(edge - 0.5f, 0.0f), static_cast<float>(limit));
  const int32_t truncated = static_cast<int32_t>(first);
  return truncated + (static_cast<float>(truncated) < first ? 1 : 0);
}

// The pixels whose centres lie inside a square (left and top edges inclusive, right and bottom
// exclusive), clipped to a width x height mask. False, with nothing to stamp, when the square
// has no area or covers no pixel centre, or when its size, centre or value is not finite (such
// a value would spoil every texel it touched).
struct PixelSpan {
  int32_t x0, x1, y0, y1;
};

inline bool CoveredPixels(const SplatSquare& square, float value, uint32_t width, uint32_t height, PixelSpan& span) {
  const float hx = square.halfWidth, hy = square.halfHeight;
  if (!(hx > 0.0f) || !(hy > 0.0f) || !std::isfinite(hx) || !std::isfinite(hy) || !std::isfinite(square.centreX) ||
      !std::isfinite(square.centreY) || !std::isfinite(value)) {
    return false;
  }
  span.x0 = FirstPixelAtOrAfterFinite(square.centreX - hx, width);
  span.x1 = FirstPixelAtOrAfterFinite(square.centreX + hx, width);
  span.y0 = FirstPixelAtOrAfterFinite(square.centreY - hy, height);
  span.y1 = FirstPixelAtOrAfterFinite(square.centreY + hy, height);
  return span.x0 < span.x1 && span.y0 < span.y1;
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


// The rows of a round square: rows x count texels from `values` and `weights` on (rows
// `stride` floats apart), where the weight at column k of row r is the profile at
// columnDistance[k] + ((firstRow + r) * perRow)^2 table entries. `count` is a whole number of
// groups of eight when vectorised; the padded columns lie past the profile's end and weigh
// nothing.
struct RoundRows {
  float* values;
  float* weights;
  size_t stride;
  const float* columnDistance;
  int32_t count;
  int32_t rows;
  float firstRow;  // the first row's centre less the square's centre, in pixels
  float perRow;    // 1 / half height
  float value;
};

using RoundRowsFunction = void (*)(const RoundRows& stamp, const SplatProfile& profile);

// The squared distance term of columns x0 .. x0 + padded - 1, in table entries times
// `scale`; those before x0 + skip or from x0 + columns on lie outside the square and get
// `beyond`, past the profile's end.
struct SquareColumns {
  float* out;
  int32_t x0;
  int32_t skip;
  int32_t columns;
  int32_t padded;
  float centre;
  float perColumn;
  float scale;
  float beyond;
};

void ColumnDistancesScalar(const SquareColumns& square) {
  for (int32_t k = 0; k < square.padded; ++k) {
    const float d = (static_cast<float>(square.x0 + k) + 0.5f - square.centre) * square.perColumn;
    square.out[k] = k >= square.skip && k < square.columns ? d * d * square.scale : square.beyond;
  }
}

inline float RowDistance(const RoundRows& stamp, int32_t r) {
  const float d = (stamp.firstRow + static_cast<float>(r)) * stamp.perRow;
  return d * d * SplatProfile::kEntriesPerUnit;
}

void RoundRowsScalar(const RoundRows& stamp, const SplatProfile& profile) {
  constexpr float kLast = float(SplatProfile::kEntries + 1);
  const float* table = profile.Table();
  const bool polynomial = profile.HasPolynomial();
  for (int32_t r = 0; r < stamp.rows; ++r) {
    const float row = RowDistance(stamp, r);
    float* texelValues = stamp.values + r * stamp.stride;
    float* texelWeights = stamp.weights + r * stamp.stride;
    for (int32_t k = 0; k < stamp.count; ++k) {
      const float distance = stamp.columnDistance[k] + row;
      const float weight = polynomial ? profile.EvaluatePolynomial(distance)
                                      : table[static_cast<int32_t>(std::min(distance + 0.5f, kLast))];
      texelValues[k] += weight * stamp.value;
      texelWeights[k] += weight;
    }
  }
}

#if defined(__x86_64__)
// The terms of columns k .. k + 7 of ColumnDistancesScalar's square.
__attribute__((target("avx2,fma"), always_inline)) inline __m256 ColumnGroupAvx2(const SquareColumns& square,
                                                                                int32_t k) {
  const __m256i column = _mm256_add_epi32(_mm256_set1_epi32(k), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
  const __m256 x = _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(square.x0), column));
  // No fused operations: the same roundings as the scalar columns.
  const __m256 d = _mm256_mul_ps(_mm256_sub_ps(_mm256_add_ps(x, _mm256_set1_ps(0.5f)), _mm256_set1_ps(square.centre)),
                                 _mm256_set1_ps(square.perColumn));
  const __m256 distance = _mm256_mul_ps(_mm256_mul_ps(d, d), _mm256_set1_ps(square.scale));
  const __m256 inside = _mm256_castsi256_ps(_mm256_and_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(square.columns), column),
                                                             _mm256_cmpgt_epi32(column, _mm256_set1_epi32(square.skip - 1))));
  return _mm256_blendv_ps(_mm256_set1_ps(square.beyond), distance, inside);
}

// ColumnDistancesScalar eight columns at a time with the same arithmetic.
__attribute__((target("avx2,fma"))) inline void ColumnDistancesAvx2(const SquareColumns& square) {
  for (int32_t k = 0; k < square.padded; k += 8) _mm256_storeu_ps(square.out + k, ColumnGroupAvx2(square, k));
}

void ColumnDistancesAvx2Entries(const SquareColumns& square) { ColumnDistancesAvx2(square); }

// Round squares stamped with the profile's polynomial, all of them in one loop so that the
// coefficients and the raster's numbers stay in registers: the stores into the sums could
// alias anything read through a pointer.
struct PolynomialTarget {
  float* values;         // the value plane
  float* weights;        // the weight plane
  size_t pitch;          // floats from a row to the next
  float* columnTerms;    // scratch for a row's column terms, width + 8 floats
  uint32_t width;
  uint32_t height;
};

// Eight texels of a row: the weight at polynomial argument t (0 from t = 1 on, and where the
// polynomial dips below 0) and its tinted value added to the sums.
// A polynomial that stays clear of 0 up to t = 1 (kPositive) needs no clamp there.
template <int kDegree, bool kPositive>
__attribute__((target("avx2,fma"), always_inline)) inline void StampGroup(float* values, float* weights, __m256 t,
                                                                          const __m256* coefficients, __m256 tint) {
  __m256 weight = coefficients[kDegree];
  for (int c = kDegree - 1; c >= 0; --c) weight = _mm256_fmadd_ps(weight, t, coefficients[c]);
  if (!kPositive) weight = _mm256_max_ps(weight, _mm256_setzero_ps());
  weight = _mm256_and_ps(weight, _mm256_cmp_ps(t, _mm256_set1_ps(1.0f), _CMP_LT_OQ));
  _mm256_storeu_ps(values, _mm256_fmadd_ps(weight, tint, _mm256_loadu_ps(values)));
  _mm256_storeu_ps(weights, _mm256_add_ps(_mm256_loadu_ps(weights), weight));
}

// The rows of a square kGroups groups wide, its column terms kept in registers.
template <int kGroups, int kDegree, bool kPositive, class NextRow>
__attribute__((target("avx2,fma"), always_inline)) inline void StampFixedGroups(
    float* values, float* weights, size_t stride, int32_t rows, const SquareColumns& squareColumns, NextRow& nextRow,
    const __m256* coefficients, __m256 tint) {
  __m256 columns[kGroups];
  for (int g = 0; g < kGroups; ++g) columns[g] = ColumnGroupAvx2(squareColumns, 8 * g);
  for (int32_t r = 0; r < rows; ++r, values += stride, weights += stride) {
    const __m256 row = _mm256_set1_ps(nextRow());
    for (int g = 0; g < kGroups; ++g) {
      StampGroup<kDegree, kPositive>(values + 8 * g, weights + 8 * g, _mm256_add_ps(columns[g], row), coefficients,
                                     tint);
    }
  }
}

template <int kDegree, bool kPositive>
__attribute__((target("avx2,fma"))) void StampPolynomialAvx2(const PolynomialTarget& target, const StampList& stamps,
                                                             const SplatProfile& profile) {
  __m256 coefficients[kDegree + 1];
  for (int k = 0; k <= kDegree; ++k) coefficients[k] = _mm256_set1_ps(profile.Coefficients()[k]);
  // Squared distances in units of the polynomial's argument: t = (dx^2 + dy^2) x scale.
  const float scale = SplatProfile::kEntriesPerUnit / profile.PolynomialEnd();
  const float rootScale = std::sqrt(scale);
  float* const valuePlane = target.values;
  float* const weightPlane = target.weights;
  float* const columnTerms = target.columnTerms;
  const size_t stride = target.pitch;
  const uint32_t width = target.width, height = target.height;
  for (size_t i = 0; i < stamps.count; ++i) {
    const SplatSquare square = stamps.Square(i);
    const float value = stamps.Value(i);
    PixelSpan span;
    if (!CoveredPixels(square, value, width, height, span)) continue;
    const float hx = square.halfWidth, hy = square.halfHeight;
    const int32_t x0 = span.x0, x1 = span.x1, y0 = span.y0, y1 = span.y1;
    // The groups start on a multiple of eight columns, so that every load and store of the
    // sums is aligned: one that overlapped a store still on its way only in part would wait
    // for it (and the squares of a tile overlap all the time). The columns they hold outside
    // the square, in the row padding too, lie past the profile's end and add 0; so does a group
    // running past the last row into the plane's pad.
    const int32_t xa = x0 & ~7;
    const int32_t groups = (x1 - xa + 7) / 8;
    const size_t start = size_t(y0) * stride + size_t(xa);
    float* values = valuePlane + start;
    float* weights = weightPlane + start;
    const int32_t rows = y1 - y0;
    // The row's centre less the square's, stepped a pixel a row (exactly: it is small).
    float rowCentre = static_cast<float>(y0) + 0.5f - square.centreY;
    const float perRow = rootScale / hy;
    auto nextRow = [&]() {
      const float d = rowCentre * perRow;
      rowCentre += 1.0f;
      return d * d;
    };
    const SquareColumns squareColumns{columnTerms, xa,     x0 - xa, x1 - xa, 8 * groups,
                                      square.centreX, 1.0f / hx, scale,  2.0f};
    const __m256 tint = _mm256_set1_ps(value);
    // The usual squares are one to three groups wide: their rows run a fixed number of groups
    // with the column terms worked out in registers.
    if (groups == 1) {
      StampFixedGroups<1, kDegree, kPositive>(values, weights, stride, rows, squareColumns, nextRow, coefficients, tint);
    } else if (groups == 2) {
      StampFixedGroups<2, kDegree, kPositive>(values, weights, stride, rows, squareColumns, nextRow, coefficients, tint);
    } else if (groups == 3) {
      StampFixedGroups<3, kDegree, kPositive>(values, weights, stride, rows, squareColumns, nextRow, coefficients, tint);
    } else {
      ColumnDistancesAvx2(squareColumns);
      for (int32_t r = 0; r < rows; ++r, values += stride, weights += stride) {
        const __m256 row = _mm256_set1_ps(nextRow());
        for (int32_t g = 0; g < groups; ++g) {
          StampGroup<kDegree, kPositive>(values + 8 * g, weights + 8 * g, _mm256_add_ps(_mm256_loadu_ps(columnTerms + 8 * g), row),
                              coefficients, tint);
        }
      }
    }
  }
}

using PolynomialStampFunction = void (*)(const PolynomialTarget& target, const StampList& stamps,
                                         const SplatProfile& profile);

__attribute__((target("avx2,fma"))) void RoundRowsTableAvx2(const RoundRows& stamp, const SplatProfile& profile) {
  const float* table = profile.Table();
  const __m256 last = _mm256_set1_ps(float(SplatProfile::kEntries + 1));
  const __m256 tint = _mm256_set1_ps(stamp.value);
  for (int32_t r = 0; r < stamp.rows; ++r) {
    const __m256 row = _mm256_set1_ps(RowDistance(stamp, r) + 0.5f);
    float* texelValues = stamp.values + r * stamp.stride;
    float* texelWeights = stamp.weights + r * stamp.stride;
    for (int32_t k = 0; k < stamp.count; k += 8) {
      const __m256 distance = _mm256_min_ps(_mm256_add_ps(_mm256_loadu_ps(stamp.columnDistance + k), row), last);
      const __m256 weight = _mm256_i32gather_ps(table, _mm256_cvttps_epi32(distance), 4);
      _mm256_storeu_ps(texelValues + k, _mm256_fmadd_ps(weight, tint, _mm256_loadu_ps(texelValues + k)));
      _mm256_storeu_ps(texelWeights + k, _mm256_add_ps(_mm256_loadu_ps(texelWeights + k), weight));
    }
  }
}
#endif

struct RoundRowsChoice {
  RoundRowsFunction table;
  void (*columns)(const SquareColumns& square);
  int32_t group;  // columns handled together
  // By the polynomial's degree; null where the rows evaluate it texel by texel.
  PolynomialStampFunction polynomial[SplatProfile::kMaxDegree + 1];
  PolynomialStampFunction positivePolynomial[SplatProfile::kMaxDegree + 1];
};

RoundRowsChoice ChooseRoundRows() {
#if defined(__x86_64__)
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
    static_assert(SplatProfile::kMaxDegree == 6);
    return {RoundRowsTableAvx2,
            ColumnDistancesAvx2Entries,
            8,
            {nullptr, StampPolynomialAvx2<1, false>, StampPolynomialAvx2<2, false>, StampPolynomialAvx2<3, false>,
             StampPolynomialAvx2<4, false>, StampPolynomialAvx2<5, false>, StampPolynomialAvx2<6, false>},
            {nullptr, StampPolynomialAvx2<1, true>, StampPolynomialAvx2<2, true>, StampPolynomialAvx2<3, true>,
             StampPolynomialAvx2<4, true>, StampPolynomialAvx2<5, true>, StampPolynomialAvx2<6, true>}};
  }
#endif
  return {RoundRowsScalar, nullptr, 1, {}, {}};
}

// The sums on huge pages where the system grants them: three masks' worth of stamping and
// dilation otherwise miss the address translation cache all the time.
float* AllocateSums(size_t floats) {
  const size_t bytes = std::max<size_t>(floats * sizeof(float), 1);
  // Small rasters (tests, thumbnails) are not worth a huge page.
  const size_t alignment = bytes >= Platform::kHugePageSize ? Platform::kHugePageSize : 64;
  const size_t rounded = (bytes + alignment - 1) / alignment * alignment;
  void* memory = std::aligned_alloc(alignment, rounded);
  if (memory == nullptr) throw std::bad_alloc();
  if (alignment == Platform::kHugePageSize) Platform::AdviseHugePages(memory, rounded);
  return static_cast<float*>(memory);
}

}  // namespace


SplatRaster::~SplatRaster() = default;

void SplatRaster::FreeMemory::operator()(float* memory) const { std::free(memory); }


SplatRaster::SplatRaster(uint32_t width, uint32_t height)
    : width(width),
      height(height),
      pitch(PitchOf(width)),
      sums(AllocateSums(TotalFloats())),
      // Spare bytes past the bottom border: the dilation reads marks sixteen at a time.
      generation(new uint8_t[(size_t(width) + 2) * (size_t(height) + 2) + 16]),
      columnTaps(new int32_t[size_t(width) + 4]),
      columnLeft(new float[size_t(width) + 4]),
      columnRight(new float[size_t(width) + 4]),
      columnDistance(new float[size_t(width) + 8]),
      ringFill(new RingFill) {
  Clear();
}

void SplatRaster::Clear() {
  // The marks need no clearing: Resolve sets every one of them. The pads and the columns past
  // the last texel are never given anything but 0.
  if (valuesClear && weightsClear) return;
  std::memset(sums.get(), 0, TotalFloats() * sizeof(float));
  valuesClear = weightsClear = true;
}

void SplatRaster::DrawRounds(const SplatSquare* squares, const float* values, size_t count,
                             const SplatProfile& profile) {
  static_assert(sizeof(SplatSquare) == 4 * sizeof(float));
  if (count == 0) return;
  DrawRounds({&squares->centreX, &squares->centreY, &squares->halfWidth, &squares->halfHeight, values, 4, 1, count},
             profile);
}

void SplatRaster::DrawRounds(const StampList& stamps, const SplatProfile& profile) {
  static const RoundRowsChoice choice = ChooseRoundRows();
  valuesClear = weightsClear = false;
  if (!profile.Usable() || stamps.count == 0) return;
  if (profile.HasPolynomial()) {
    const PolynomialStampFunction* functions =
        profile.PolynomialPositive() ? choice.positivePolynomial : choice.polynomial;
    if (PolynomialStampFunction function = functions[profile.Degree()]) {
      function({ValuePlane(), WeightPlane(), pitch, columnDistance.get(), width, height}, stamps, profile);
      return;
    }
  }
  for (size_t i = 0; i < stamps.count; ++i) DrawRound(stamps.Square(i), stamps.Value(i), profile);
}

void SplatRaster::DrawRound(const SplatSquare& square, float value, const SplatProfile& profile) {
  static const RoundRowsChoice choice = ChooseRoundRows();
  valuesClear = weightsClear = false;
  if (profile.Usable() && profile.HasPolynomial() && choice.polynomial[profile.Degree()] != nullptr) {
    DrawRounds(&square, &value, 1, profile);
    return;
  }
  PixelSpan span;
  if (!profile.Usable() || !CoveredPixels(square, value, width, height, span)) return;
  const float hx = square.halfWidth, hy = square.halfHeight;
  const int32_t x0 = span.x0, x1 = span.x1, y0 = span.y0, y1 = span.y1;

  const float perColumn = 1.0f / hx;
  const int32_t columns = x1 - x0;
  const size_t first = size_t(y0) * pitch + x0;
  const float firstRow = static_cast<float>(y0) + 0.5f - square.centreY;
  // Columns up to a whole group lie past the profile's end and weigh nothing.
  const int32_t padded = (columns + choice.group - 1) / choice.group * choice.group;
  // A padded group that would run past the mask's right edge is left to the scalar rows.
  const bool grouped = x0 + padded <= static_cast<int32_t>(width);
  RoundRowsFunction function = grouped ? choice.table : RoundRowsScalar;
  const SquareColumns squareColumns{columnDistance.get(), x0, 0, columns, padded, square.centreX, perColumn,
                                    SplatProfile::kEntriesPerUnit, float(SplatProfile::kEntries + 1)};
  if (!grouped || choice.columns == nullptr) {
    ColumnDistancesScalar(squareColumns);
  } else {
    choice.columns(squareColumns);
  }

  RoundRows stamp;
  stamp.values = ValuePlane() + first;
  stamp.weights = WeightPlane() + first;
  stamp.stride = pitch;
  stamp.columnDistance = columnDistance.get();
  stamp.count = grouped ? padded : columns;
  stamp.rows = y1 - y0;
  stamp.firstRow = firstRow;
  stamp.perRow = 1.0f / hy;
  stamp.value = value;
  function(stamp, profile);
}

void SplatRaster::Draw(const SplatSquare& square, float value, const SplatImage& splat) {
  valuesClear = weightsClear = false;
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
    float* texelValues = ValuePlane() + size_t(y) * pitch + x0;
    float* texelWeights = WeightPlane() + size_t(y) * pitch + x0;
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
      _mm_storeu_ps(texelValues + k, _mm_add_ps(_mm_loadu_ps(texelValues + k), _mm_mul_ps(weight, tint)));
      _mm_storeu_ps(texelWeights + k, _mm_add_ps(_mm_loadu_ps(texelWeights + k), weight));
    }
#endif
    for (; k < columns; ++k) {
      const float* tap = row + columnTaps[k];
      const float upperRow = tap[0] * columnLeft[k] + tap[1] * columnRight[k];
      const float lowerRow = tap[2] * columnLeft[k] + tap[3] * columnRight[k];
      const float weight = upperRow * upperWeight + lowerRow * lowerWeight;
      texelValues[k] += weight * value;
      texelWeights[k] += weight;
    }
  }
}

namespace {

// Texels x .. width - 1 of a row: the value (in place of its sum) where some weight arrived,
// marked covered (1), else 0 and empty (0).
void ResolveRowScalar(float* values, float* weights, uint8_t* marks, uint32_t x, uint32_t width, bool clear) {
  for (; x < width; ++x) {
    const float weight = weights[x];
    const bool covered = weight > 0.0f;
    values[x] = covered ? values[x] / weight : 0.0f;
    marks[x] = covered ? 1 : 0;
    if (clear) weights[x] = 0.0f;
  }
}

#if defined(__x86_64__)
// Eight marks of 0 or 1 from eight bits, one per byte.
constexpr uint64_t SpreadMarks(uint32_t bits) {
  uint64_t marks = 0;
  for (int i = 0; i < 8; ++i) marks |= uint64_t((bits >> i) & 1u) << (8 * i);
  return marks;
}

template <size_t... I>
constexpr std::array<uint64_t, sizeof...(I)> SpreadTable(std::index_sequence<I...>) {
  return {SpreadMarks(uint32_t(I))...};
}

constexpr std::array<uint64_t, 256> kSpreadMarks = SpreadTable(std::make_index_sequence<256>());

// ResolveRowScalar eight texels at a time from the start of the row; returns where it stopped.
template <bool kClear>
__attribute__((target("avx2"))) uint32_t ResolveRowAvx2(float* values, float* weights, uint8_t* marks,
                                                        uint32_t width) {
  const __m256 zero = _mm256_setzero_ps();
  uint32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    const __m256 weight = _mm256_loadu_ps(weights + x);
    if (kClear) _mm256_storeu_ps(weights + x, zero);
    const __m256 covered = _mm256_cmp_ps(weight, zero, _CMP_GT_OQ);
    _mm256_storeu_ps(values + x, _mm256_and_ps(_mm256_div_ps(_mm256_loadu_ps(values + x), weight), covered));
    const uint64_t spread = kSpreadMarks[static_cast<uint32_t>(_mm256_movemask_ps(covered))];
    std::memcpy(marks + x, &spread, sizeof spread);
  }
  return x;
}
#endif

}  // namespace

void SplatRaster::Resolve() { ResolveRows(false); }

void SplatRaster::Dilate(int passes) {
  if (ringFill->Mark(generation.get(), width, height, passes) > 0) ringFill->Fill(ValuePlane(), pitch);
}

void SplatRaster::ResolveClearing() {
  ResolveRows(true);
  weightsClear = true;
}

void SplatRaster::ResolveRows(bool clearWeights) {
  const size_t rowStride = size_t(width) + 2;
  std::memset(generation.get(), kBorder, rowStride);
  std::memset(generation.get() + (size_t(height) + 1) * rowStride, kBorder, rowStride);
  for (uint32_t y = 0; y < height; ++y) {
    generation[(size_t(y) + 1) * rowStride] = kBorder;
    generation[(size_t(y) + 1) * rowStride + width + 1] = kBorder;
  }
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
#else
  constexpr bool avx2 = false;
#endif
  for (uint32_t y = 0; y < height; ++y) {
    float* rowValues = ValuePlane() + size_t(y) * pitch;
    float* rowWeights = WeightPlane() + size_t(y) * pitch;
    uint8_t* marks = generation.get() + (size_t(y) + 1) * rowStride + 1;
    uint32_t x = 0;
#if defined(__x86_64__)
    if (avx2) {
      x = clearWeights ? ResolveRowAvx2<true>(rowValues, rowWeights, marks, width)
                       : ResolveRowAvx2<false>(rowValues, rowWeights, marks, width);
    }
#endif
    ResolveRowScalar(rowValues, rowWeights, marks, x, width, clearWeights);
  }
}

namespace {

uint8_t GreyOf(float value) {
  // Written so that NaN lands on 0.
  const float clamped = value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;
  return static_cast<uint8_t>(clamped * 255.0f + 0.5f);
}

// Grey values as 8 bits written three times, `count` texels from values on.
void ToRgbScalar(const float* values, size_t count, uint8_t* rgb) {
  for (size_t i = 0; i < count; ++i) rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = GreyOf(values[i]);
}

void ToGreyScalar(const float* values, size_t count, uint8_t* grey) {
  for (size_t i = 0; i < count; ++i) grey[i] = GreyOf(values[i]);
}

#if defined(__x86_64__)
// Eight grey levels as GreyOf finds them. No fused multiply-add (not enabled here), so the
// rounding is GreyOf's; the maximum with 0 comes first, as it turns NaN into 0.
__attribute__((target("avx2"))) inline __m256i Greys(const float* from) {
  const __m256 clamped = _mm256_min_ps(_mm256_max_ps(_mm256_loadu_ps(from), _mm256_setzero_ps()), _mm256_set1_ps(1.0f));
  return _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(clamped, _mm256_set1_ps(255.0f)), _mm256_set1_ps(0.5f)));
}

// Sixteen grey levels as bytes.
__attribute__((target("avx2"))) inline __m128i SixteenGreys(const float* from) {
  const __m256i words = _mm256_permute4x64_epi64(_mm256_packs_epi32(Greys(from), Greys(from + 8)), 0xd8);
  return _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
}

// ToGreyScalar sixteen texels at a time.
__attribute__((target("avx2"))) void ToGreyAvx2(const float* values, size_t count, uint8_t* grey) {
  size_t i = 0;
  for (; i + 16 <= count; i += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(grey + i), SixteenGreys(values + i));
  ToGreyScalar(values + i, count - i, grey + i);
}

// ToRgbScalar sixteen texels at a time.
__attribute__((target("avx2"))) void ToRgbAvx2(const float* values, size_t count, uint8_t* rgb) {
  // Each grey byte three times: the first 16 bytes of output from greys 0..5, the next from
  // 5..10, the last from 10..15.
  const __m128i spread0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
  const __m128i spread1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
  const __m128i spread2 = _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i bytes = SixteenGreys(values + i);
    uint8_t* out = rgb + 3 * i;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(bytes, spread0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_shuffle_epi8(bytes, spread1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), _mm_shuffle_epi8(bytes, spread2));
  }
  ToRgbScalar(values + i, count - i, rgb + 3 * i);
}
#endif

}  // namespace

void SplatRaster::ToRgb(uint8_t* rgb) const { ToBytes(rgb, 3, false); }

void SplatRaster::ToGreyClearing(uint8_t* grey) {
  ToBytes(grey, 1, true);
  valuesClear = true;
}

void SplatRaster::ToBytes(uint8_t* out, int copies, bool clearValues) const {
  using Convert = void (*)(const float*, size_t, uint8_t*);
  Convert convert = copies == 3 ? ToRgbScalar : ToGreyScalar;
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) convert = copies == 3 ? ToRgbAvx2 : ToGreyAvx2;
#endif
  for (uint32_t y = 0; y < height; ++y) {
    float* row = ValuePlane() + size_t(y) * pitch;
    convert(row, width, out + size_t(copies) * y * width);
    // The row was just read, so it is cleared from the cache rather than from memory later.
    if (clearValues) std::memset(row, 0, size_t(width) * sizeof(float));
  }
}

void SplatRaster::ToGrey16(uint16_t* grey) const {
  for (uint32_t y = 0; y < height; ++y) {
    const float* row = ValuePlane() + size_t(y) * pitch;
    for (uint32_t x = 0; x < width; ++x) {
      const float value = row[x];
      const float clamped = value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;
      grey[size_t(y) * width + x] = static_cast<uint16_t>(clamped * 65535.0f + 0.5f);
    }
  }
}

}  // namespace Simulation
