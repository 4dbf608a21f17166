#include "viewer/environment_brdf_table.h"

#include <gtest/gtest.h>

#include <cmath>

namespace Viewer {
namespace {

constexpr double kPi = 3.14159265358979;

// The same albedo the slow, plain way: glTF's specular BRDF times the cosine summed over a fine
// grid of light directions, with no sampling scheme to share a fault with the table.
void BruteForce(double nDotV, double roughness, double* scale, double* bias) {
  const double alpha2 = std::pow(roughness, 4.0);
  const double v[3] = {std::sqrt(1.0 - nDotV * nDotV), 0.0, nDotV};
  const int steps = 400;
  const double dTheta = kPi / 2 / steps, dPhi = 2 * kPi / (2 * steps);
  *scale = *bias = 0.0;
  for (int i = 0; i < steps; ++i) {
    const double theta = (i + 0.5) * dTheta;
    const double nDotL = std::cos(theta);
    for (int j = 0; j < 2 * steps; ++j) {
      const double phi = (j + 0.5) * dPhi;
      const double l[3] = {std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), nDotL};
      double h[3] = {v[0] + l[0], v[1] + l[1], v[2] + l[2]};
      const double length = std::sqrt(h[0] * h[0] + h[1] * h[1] + h[2] * h[2]);
      for (double& c : h) c /= length;
      const double vDotH = v[0] * h[0] + v[2] * h[2];
      const double d = alpha2 / (kPi * std::pow((alpha2 - 1.0) * h[2] * h[2] + 1.0, 2.0));
      const double visibility = 0.5 / (nDotL * std::sqrt(nDotV * nDotV * (1 - alpha2) + alpha2) +
                                       nDotV * std::sqrt(nDotL * nDotL * (1 - alpha2) + alpha2));
      const double f = d * visibility * nDotL * std::sin(theta) * dTheta * dPhi;
      const double fresnel = std::pow(1.0 - vDotH, 5.0);
      *scale += (1.0 - fresnel) * f;
      *bias += fresnel * f;
    }
  }
}

// F0 * scale + bias is the share of light a surface reflects when Fresnel is F0: at F0 = 1
// (scale + bias) it can never pass 1, and a near mirror seen head-on loses almost nothing.
TEST(EnvironmentBrdfTable, ReflectsNoMoreThanArrivesAndAlmostAllWhenSmooth) {
  const BrdfTable table = MakeBrdfTable();
  ASSERT_EQ(table.scaleBias.size(), size_t(table.size) * table.size * 2);
  for (uint32_t j = 0; j < table.size; ++j) {
    for (uint32_t i = 0; i < table.size; ++i) {
      const float scale = table.scaleBias[(size_t(j) * table.size + i) * 2];
      const float bias = table.scaleBias[(size_t(j) * table.size + i) * 2 + 1];
      EXPECT_GE(scale, 0.0f);
      EXPECT_GE(bias, 0.0f);
      EXPECT_LE(scale + bias, 1.0f + 1e-5f) << "nDotV column " << i << ", roughness row " << j;
      const float nDotV = (i + 0.5f) / table.size;
      const float roughness = (j + 0.5f) / table.size;
      if (roughness < 0.2f && nDotV > 0.3f) {
        EXPECT_GT(scale + bias, 0.97f) << i << ", " << j;
      }
    }
  }
}

TEST(EnvironmentBrdfTable, MatchesTheBrdfIntegratedOverAGrid) {
  const BrdfTable table = MakeBrdfTable();
  const uint32_t cells[][2] = {{2, 31}, {8, 16}, {16, 10}, {24, 24}, {30, 12}};
  for (const auto& cell : cells) {
    const uint32_t i = cell[0], j = cell[1];
    double scale = 0.0, bias = 0.0;
    BruteForce((i + 0.5) / table.size, (j + 0.5) / table.size, &scale, &bias);
    const float* texel = &table.scaleBias[(size_t(j) * table.size + i) * 2];
    EXPECT_NEAR(texel[0], scale, 0.015 * scale + 0.002) << "nDotV column " << i << ", roughness row " << j;
    EXPECT_NEAR(texel[1], bias, 0.015 * bias + 0.002) << "nDotV column " << i << ", roughness row " << j;
  }
}

}  // namespace
}  // namespace Viewer
