#pragma once

#include <cstdint>
#include <vector>

// The split-sum table of glTF's specular BRDF (GGX with the height-correlated Smith term): for a
// cosine between normal and view and a perceptual roughness, the scale and bias that turn F0
// into the BRDF's directional albedo, F0 * scale + bias, under a prefiltered environment.
namespace Viewer {

inline constexpr uint32_t kBrdfTableSize = 32;

// size x size texels of (scale, bias): column i is nDotV = (i + 0.5) / size, row j (from the
// top, texture v = 0) roughness (j + 0.5) / size.
struct BrdfTable {
  uint32_t size = 0;
  std::vector<float> scaleBias;
};

BrdfTable MakeBrdfTable(uint32_t size = kBrdfTableSize);

}  // namespace Viewer
