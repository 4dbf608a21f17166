#include "viewer/environment_brdf_table.h"

#include <algorithm>
#include <cmath>

#include "viewer/environment_directions.h"
#include "viewer/environment_sampling.h"

namespace Viewer {
namespace {

constexpr uint32_t kSamples = 256;

// Smith's masking function of GGX for a direction at cosine mu from the normal.
float Lambda(float mu, float alpha2) {
  const float mu2 = std::max(mu * mu, 1e-8f);
  return 0.5f * (std::sqrt(1.0f + alpha2 * (1.0f - mu2) / mu2) - 1.0f);
}

// Integrates over the normals the view sees (drawn from GGX's distribution of visible normals):
// with that pdf a sample's BRDF * cosine / pdf is just F * G2 / G1(view), never above F, so the
// sums converge fast even at grazing angles, where drawing from the plain distribution of
// normals leaves a 1 / nDotH spike. G2 is the height-correlated Smith term glTF specifies.
void Integrate(float nDotV, float roughness, float* scale, float* bias) {
  const float alpha = std::max(roughness * roughness, 1e-4f);
  const float alpha2 = alpha * alpha;
  const float vx = std::sqrt(1.0f - nDotV * nDotV), vz = nDotV;
  // The view in the hemisphere's configuration where the distribution is that of a unit sphere.
  const float sx = alpha * vx, sz = vz;
  const float length = std::sqrt(sx * sx + sz * sz);
  const float hx = sx / length, hz = sz / length;
  const float lambdaV = Lambda(nDotV, alpha2);
  double a = 0.0, b = 0.0;
  for (uint32_t i = 0; i < kSamples; ++i) {
    const float r = std::sqrt((float(i) + 0.5f) / float(kSamples));
    const float phi = 2.0f * kPi * RadicalInverse(i);
    const float t1 = r * std::cos(phi);
    const float s = 0.5f * (1.0f + hz);
    const float t2 = (1.0f - s) * std::sqrt(std::max(0.0f, 1.0f - t1 * t1)) + s * r * std::sin(phi);
    const float up = std::sqrt(std::max(0.0f, 1.0f - t1 * t1 - t2 * t2));
    // Frame around the stretched view: T1 = (0, 1, 0), T2 = view x T1.
    const float nx = -hz * t2 + hx * up;
    const float ny = t1;
    const float nz = hx * t2 + hz * up;
    float mx = alpha * nx, my = alpha * ny, mz = std::max(0.0f, nz);
    const float m = std::sqrt(mx * mx + my * my + mz * mz);
    mx /= m;
    my /= m;
    mz /= m;
    const float vDotH = vx * mx + vz * mz;
    const float nDotL = 2.0f * vDotH * mz - vz;
    if (nDotL <= 0.0f || vDotH <= 0.0f) continue;
    const float weight = (1.0f + lambdaV) / (1.0f + lambdaV + Lambda(nDotL, alpha2));
    const float fresnel = std::pow(1.0f - vDotH, 5.0f);
    a += (1.0f - fresnel) * weight;
    b += fresnel * weight;
  }
  *scale = float(a / kSamples);
  *bias = float(b / kSamples);
}

}  // namespace

BrdfTable MakeBrdfTable(uint32_t size) {
  BrdfTable table{size, std::vector<float>(size_t(size) * size * 2)};
  for (uint32_t j = 0; j < size; ++j) {
    for (uint32_t i = 0; i < size; ++i) {
      float* texel = &table.scaleBias[(size_t(j) * size + i) * 2];
      Integrate((float(i) + 0.5f) / float(size), (float(j) + 0.5f) / float(size), &texel[0], &texel[1]);
    }
  }
  return table;
}

}  // namespace Viewer
