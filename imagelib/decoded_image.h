#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ImageLib {

// Bytes a sample takes. 8-bit and 16-bit samples stand for fractions of their largest value,
// float samples (Radiance) for linear radiance.
enum class SampleType : uint8_t { Byte = 1, Word = 2, Float = 4 };

// A picture as a file held it, in memory its owner keeps: row 0 at the top, the channels of a
// pixel side by side: grey, grey and alpha, R G B, or R G B A. Wider samples are in the
// machine's byte order.
struct DecodedImage {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t channels = 0;
  SampleType type = SampleType::Byte;
  std::vector<uint8_t> samples;

  size_t SampleCount() const { return size_t(width) * height * channels; }

  // Sample i as a float: from 0 to 1 for 8-bit and 16-bit samples, as held for float ones.
  float Value(size_t i) const {
    if (type == SampleType::Byte) return static_cast<float>(samples[i] / 255.0);
    if (type == SampleType::Word) {
      uint16_t word;
      std::memcpy(&word, &samples[2 * i], sizeof word);
      return word / 65535.0f;
    }
    float value;
    std::memcpy(&value, &samples[4 * i], sizeof value);
    return value;
  }
};

// Which sample of a pixel with `channels` channels gives channel c (0 to 3: R, G, B, A) of the
// same pixel in RGBA: grey gives red, green and blue; -1 for the alpha of a picture without one,
// which is opaque.
inline int RgbaSource(uint32_t channels, int c) {
  if (c == 3) return channels == 2 || channels == 4 ? static_cast<int>(channels) - 1 : -1;
  return channels >= 3 ? c : 0;
}

}  // namespace ImageLib
