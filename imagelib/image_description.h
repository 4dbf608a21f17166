#pragma once

#include <cstdint>

namespace ImageLib {

// Format codes: the low four bits give the channel layout, the flags the sample type.
enum FormatCode : uint32_t {
  kFormatGrey = 1,
  kFormatRgb = 7,
  kFormatRgba = 15,
  kFormatRadianceBit = 0x20,
  kFormatRunLength = 0x40,  // only while a Targa header is read; selects the run-length decoder
  kFormatFloatSamples = 0x80,
  kFormatRadiance = kFormatFloatSamples | kFormatRadianceBit | kFormatRgb,  // 167
};

// What a decoder says of the raw buffer it delivers: rows top row first, channels interleaved.
struct ImageDescription {
  int32_t width = 0;
  int32_t height = 0;
  int32_t channels = 0;
  int32_t bitsPerPixel = 0;  // 8, 24 or 32 for byte samples, 96 for Radiance floats
  uint32_t formatCode = 0;   // 0 marks a result the float conversion rejects
};

}  // namespace ImageLib
