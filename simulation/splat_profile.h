#pragma once

#include <cstdint>

#include "simulation/splat_image.h"

namespace Simulation {

// A round splat as a function of the squared distance from its centre alone. Drawing it then
// costs a table look-up per texel instead of a bilinear blend of four splat texels, with a
// weight that differs from the bilinear one by less than kSplatProfileTolerance.
//
// Distances are measured across the square the splat fills: s = dx^2 + dy^2, with dx and dy
// running from -1 at one edge to 1 at the other, so the corners lie at s = 2.
class SplatProfile {
public:
  // Entries of the table over 0 <= s <= 2, one more for s = 2 itself.
  static constexpr int kEntries = 1024;
  static constexpr float kEntriesPerUnit = kEntries / 2.0f;

  // Averages the splat's bilinear coverage around circles of every tabulated radius, then
  // checks the image against the table texel by texel. Returns false (and stays unusable) when
  // the splat is not round, that is when some texel differs from the table by more than the
  // tolerance; callers then draw the splat texel by texel.
  bool Build(const SplatImage& splat);

  bool Usable() const { return usable; }
  // The largest difference between a splat texel and the table, found by Build.
  float Deviation() const { return deviation; }

  // The table: entry i is the coverage at s = i / kEntriesPerUnit; one more entry past the end
  // holds 0, for texels that lie outside any square.
  const float* Table() const { return table; }
  float At(float s) const;

  // When the table is within kSplatPolynomialTolerance of a polynomial in s / PolynomialEnd()
  // up to PolynomialEnd() (in table entries; 0 beyond it, and where the polynomial dips below
  // 0), a stamp may evaluate that instead of looking the table up. Build picks the lowest
  // degree that fits, as every degree costs a multiply-add per texel.
  static constexpr int kMaxDegree = 6;
  bool HasPolynomial() const { return polynomial; }
  int Degree() const { return degree; }
  // Whether the polynomial stays well above 0 over the whole profile (so that no rounding
  // takes it below), known for degrees up to 2.
  bool PolynomialPositive() const { return positive; }
  float PolynomialEnd() const { return end; }
  // Coefficients from the constant term up to Degree().
  const float* Coefficients() const { return coefficients; }
  // The polynomial at a squared distance in table entries, as a stamp evaluates it.
  float EvaluatePolynomial(float entry) const;

private:
  bool usable = false;
  float deviation = 0.0f;
  float table[kEntries + 2] = {};
  bool polynomial = false;
  int degree = 0;
  bool positive = false;
  float end = 0.0f;
  float coefficients[kMaxDegree + 1] = {};

  void FitPolynomial();
  bool FitPolynomial(int degree, int stop);
};

// How far (in coverage, 0..1) the polynomial may lie from the table.
inline constexpr float kSplatPolynomialTolerance = 1.0f / 255.0f;

// How far (in coverage, 0..1) a splat texel may lie from its round profile.
inline constexpr float kSplatProfileTolerance = 4.0f / 255.0f;

}  // namespace Simulation
