#pragma once

#include <cstddef>
#include <cstdint>

namespace ImageLib {

// The most pixels a decoder accepts: 2^26, an 8192 x 8192 picture, which takes 1 GiB as RGBA
// floats. Larger claims come from corrupt headers far more often than from real textures, and
// would make one bad file take the process's memory.
constexpr uint64_t kMaxImagePixels = uint64_t(1) << 26;

// width x height x channels when every factor is positive, there are at most four channels and
// at most kMaxImagePixels pixels; 0 otherwise. The factors are 64-bit, so their product cannot
// overflow before it is compared.
inline size_t CheckedSampleCount(int64_t width, int64_t height, int64_t channels) {
  if (width <= 0 || height <= 0 || channels <= 0 || channels > 4) return 0;
  if (width > INT32_MAX || height > INT32_MAX) return 0;
  uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  return pixels > kMaxImagePixels ? 0 : static_cast<size_t>(pixels * static_cast<uint64_t>(channels));
}

}  // namespace ImageLib
