#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace RenderLib {

// A triangle laid on a raster of texels, its corners in texel units: texel (px, py) spans
// [px, px + 1) x [py, py + 1), so its centre is at (px + 0.5, py + 0.5).
struct TexelTriangle {
  float x[3];
  float y[3];
};

// Whether texel centres on a triangle's edges count as inside it. Counted, neighbouring
// triangles both reach a texel on their shared edge (no gaps in a bake); not counted, a texel
// is counted once (coverage and overlap measures).
enum class TriangleEdges { kIncluded, kExcluded };

// The texels a walk over a triangle may visit; texels outside are passed over.
struct TexelWindow {
  int64_t x0 = std::numeric_limits<int64_t>::min();
  int64_t y0 = std::numeric_limits<int64_t>::min();
  int64_t x1 = std::numeric_limits<int64_t>::max();  // inclusive
  int64_t y1 = std::numeric_limits<int64_t>::max();
};

// Calls visit(px, py, w0, w1, w2) for every texel of the window whose centre lies inside the
// triangle, row by row, with the centre's barycentric weights (w0 + w1 + w2 = 1). A triangle with
// no area (or one beyond the float range), or with a corner that is not finite, visits nothing.
template <class Visit>
inline void ForEachTexelIn(const TexelTriangle& t, TriangleEdges edges, const TexelWindow& window, Visit visit) {
  const float area = (t.x[1] - t.x[0]) * (t.y[2] - t.y[0]) - (t.x[2] - t.x[0]) * (t.y[1] - t.y[0]);
  if (!(std::fabs(area) > 1e-12f) || !std::isfinite(area)) return;
  const float left = std::fmin(t.x[0], std::fmin(t.x[1], t.x[2])), right = std::fmax(t.x[0], std::fmax(t.x[1], t.x[2]));
  const float top = std::fmin(t.y[0], std::fmin(t.y[1], t.y[2])), bottom = std::fmax(t.y[0], std::fmax(t.y[1], t.y[2]));
  if (!std::isfinite(right - left) || !std::isfinite(bottom - top)) return;
  // Clamped in float before the conversion, which would overflow for corners far outside.
  const float kLimit = 4.0e18f;
  auto first = [&](float low, int64_t clip) {
    const float at = std::ceil(low - 0.5f);
    return at <= float(clip) ? clip : at >= kLimit ? std::numeric_limits<int64_t>::max() : int64_t(at);
  };
  auto last = [&](float high, int64_t clip) {
    const float at = std::floor(high - 0.5f);
    return at >= float(clip) ? clip : at <= -kLimit ? std::numeric_limits<int64_t>::min() : int64_t(at);
  };
  const int64_t x0 = first(left, window.x0), x1 = last(right, window.x1);
  const int64_t y0 = first(top, window.y0), y1 = last(bottom, window.y1);
  const float inverseArea = 1.0f / area;
  const bool withEdges = edges == TriangleEdges::kIncluded;
  for (int64_t py = y0; py <= y1; ++py) {
    const float y = float(py) + 0.5f;
    for (int64_t px = x0; px <= x1; ++px) {
      const float x = float(px) + 0.5f;
      // Barycentric weights from the signed areas opposite each corner.
      const float w0 = ((t.x[1] - x) * (t.y[2] - y) - (t.x[2] - x) * (t.y[1] - y)) * inverseArea;
      const float w1 = ((t.x[2] - x) * (t.y[0] - y) - (t.x[0] - x) * (t.y[2] - y)) * inverseArea;
      const float w2 = 1.0f - w0 - w1;
      const bool inside = withEdges ? (w0 >= 0.0f && w1 >= 0.0f && w2 >= 0.0f) : (w0 > 0.0f && w1 > 0.0f && w2 > 0.0f);
      if (inside) visit(px, py, w0, w1, w2);
    }
  }
}

}  // namespace RenderLib
