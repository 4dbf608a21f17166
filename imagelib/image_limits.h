#pragma once

#include <cstddef>
#include <cstdint>

namespace ImageLib {

// The most samples (pixels times channels) a decoder accepts: 2^28, which is 1 GiB as floats
// (an 8192 x 8192 RGBA texture). Larger claims come from corrupt headers far more often than
// from real textures, and would make one bad file take the process's memory.
constexpr uint64_t kMaxImageSamples = uint64_t(1) << 28;

// width x height x channels when every factor is positive and the product is within
// kMaxImageSamples; 0 otherwise. The factors are 64-bit, so the product of three values below
// 2^31 cannot overflow before it is compared.
inline size_t CheckedSampleCount(int64_t width, int64_t height, int64_t channels) {
  if (width <= 0 || height <= 0 || channels <= 0) return 0;
  if (width > INT32_MAX || height > INT32_MAX || channels > 4) return 0;
  uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (pixels > kMaxImageSamples) return 0;
  uint64_t samples = pixels * static_cast<uint64_t>(channels);
  return samples > kMaxImageSamples ? 0 : static_cast<size_t>(samples);
}

}  // namespace ImageLib
