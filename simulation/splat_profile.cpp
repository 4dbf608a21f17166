#include "simulation/splat_profile.h"

#include <algorithm>
#include <cmath>

namespace Simulation {
namespace {

// The splat's bilinear coverage at splat coordinates (0..1 each way), clamped at its edges,
// as the texel-by-texel stamp samples it.
float Bilinear(const SplatImage& splat, double x, double y) {
  const int32_t w = static_cast<int32_t>(splat.Width()), h = static_cast<int32_t>(splat.Height());
  const double px = x * w - 0.5, py = y * h - 0.5;
  const double fx = std::floor(px), fy = std::floor(py);
  const int32_t i = static_cast<int32_t>(fx), j = static_cast<int32_t>(fy);
  const double bx = px - fx, by = py - fy;
  auto at = [&](int32_t a, int32_t b) {
    return double(splat.At(uint32_t(std::clamp(a, 0, w - 1)), uint32_t(std::clamp(b, 0, h - 1))));
  };
  const double upper = at(i, j) * (1 - bx) + at(i + 1, j) * bx;
  const double lower = at(i, j + 1) * (1 - bx) + at(i + 1, j + 1) * bx;
  return static_cast<float>(upper * (1 - by) + lower * by);
}

}  // namespace

bool SplatProfile::Build(const SplatImage& splat) {
  usable = false;
  polynomial = false;
  positive = false;
  degree = 0;
  deviation = 0.0f;
  std::fill(std::begin(table), std::end(table), 0.0f);
  if (splat.Width() < 2 || splat.Height() < 2) return false;

  // Around each circle, only the points inside the square count: the stamp covers no more.
  constexpr int kAngles = 64;
  for (int e = 0; e <= kEntries; ++e) {
    const double radius = std::sqrt(e / double(kEntriesPerUnit));
    double sum = 0;
    int inside = 0;
    for (int a = 0; a < kAngles; ++a) {
      const double angle = (a + 0.5) * (2 * M_PI / kAngles);
      const double dx = radius * std::cos(angle), dy = radius * std::sin(angle);
      if (std::fabs(dx) > 1 || std::fabs(dy) > 1) continue;
      sum += Bilinear(splat, (dx + 1) / 2, (dy + 1) / 2);
      ++inside;
    }
    // Beyond the corners' circle nothing is inside; the corner value carries on.
    table[e] = inside > 0 ? static_cast<float>(sum / inside) : (e > 0 ? table[e - 1] : 0.0f);
  }

  const uint32_t w = splat.Width(), h = splat.Height();
  for (uint32_t j = 0; j < h; ++j) {
    for (uint32_t i = 0; i < w; ++i) {
      const double dx = (i + 0.5) / w * 2 - 1, dy = (j + 0.5) / h * 2 - 1;
      deviation = std::max(deviation, std::fabs(splat.At(i, j) - At(static_cast<float>(dx * dx + dy * dy))));
    }
  }
  usable = deviation <= kSplatProfileTolerance;
  if (usable) FitPolynomial();
  return usable;
}

void SplatProfile::FitPolynomial() {
  polynomial = false;
  // The profile ends after its last entry above 0 (or at the table's end).
  int last = kEntries;
  while (last > 0 && table[last] <= 0.0f) --last;
  const int stop = std::min(last + 1, kEntries);
  end = static_cast<float>(stop);
  for (int d = 1; d <= kMaxDegree && !polynomial; ++d) polynomial = FitPolynomial(d, stop);
  if (polynomial && degree <= 2) {
    // The least value over t in [0, 1]: at an end, or at the vertex of a parabola.
    const double c0 = coefficients[0], c1 = coefficients[1], c2 = degree == 2 ? coefficients[2] : 0.0;
    double least = std::min(c0, c0 + c1 + c2);
    if (c2 > 0 && -c1 / (2 * c2) > 0 && -c1 / (2 * c2) < 1) least = std::min(least, c0 - c1 * c1 / (4 * c2));
    positive = least > 1e-4;
  }
}

bool SplatProfile::FitPolynomial(int fitDegree, int stop) {
  if (stop < fitDegree + 1) return false;
  degree = fitDegree;
  std::fill(std::begin(coefficients), std::end(coefficients), 0.0f);

  // Least squares over the entries before the end, in t = entry / end, by the normal equations
  // (well enough conditioned in double on [0, 1] at these degrees).
  constexpr int kMax = kMaxDegree + 1;
  const int n = fitDegree + 1;
  double matrix[kMax][kMax + 1] = {};
  for (int e = 0; e < stop; ++e) {
    const double t = e / double(stop);
    double powers[2 * kMax];
    powers[0] = 1;
    for (int k = 1; k < 2 * n; ++k) powers[k] = powers[k - 1] * t;
    for (int r = 0; r < n; ++r) {
      for (int c = 0; c < n; ++c) matrix[r][c] += powers[r + c];
      matrix[r][n] += powers[r] * table[e];
    }
  }
  for (int pivot = 0; pivot < n; ++pivot) {
    int best = pivot;
    for (int r = pivot + 1; r < n; ++r) {
      if (std::fabs(matrix[r][pivot]) > std::fabs(matrix[best][pivot])) best = r;
    }
    if (std::fabs(matrix[best][pivot]) < 1e-300) return false;
    for (int c = 0; c <= n; ++c) std::swap(matrix[pivot][c], matrix[best][c]);
    for (int r = 0; r < n; ++r) {
      if (r == pivot) continue;
      const double factor = matrix[r][pivot] / matrix[pivot][pivot];
      for (int c = pivot; c <= n; ++c) matrix[r][c] -= factor * matrix[pivot][c];
    }
  }
  for (int k = 0; k < n; ++k) coefficients[k] = static_cast<float>(matrix[k][n] / matrix[k][k]);

  // Checked at every entry, past the end too, the way a stamp evaluates it.
  for (int e = 0; e <= kEntries; ++e) {
    if (std::fabs(EvaluatePolynomial(static_cast<float>(e)) - table[e]) > kSplatPolynomialTolerance) return false;
  }
  return true;
}

float SplatProfile::EvaluatePolynomial(float entry) const {
  const float t = entry / end;
  if (!(t < 1.0f)) return 0.0f;
  float value = coefficients[degree];
  for (int k = degree - 1; k >= 0; --k) value = value * t + coefficients[k];
  return std::max(value, 0.0f);
}

float SplatProfile::At(float s) const {
  const float index = std::clamp(s * kEntriesPerUnit + 0.5f, 0.0f, float(kEntries));
  return table[static_cast<int>(index)];
}

}  // namespace Simulation
