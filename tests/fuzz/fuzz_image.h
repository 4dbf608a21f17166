#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "imagelib/image_decoder.h"

// Decodes each input from memory as one format. A decode that succeeds must give a consistent
// picture and one that fails must say why and leave nothing: a fault there aborts, so the
// fuzzer keeps the input.
inline void FuzzDecode(ImageLib::ImageFormat format, const uint8_t* data, size_t size) {
  ImageLib::DecodedImage image;
  std::string error;
  if (!ImageLib::DecodeImage(format, data, size, image, error)) {
    if (error.empty() || !image.samples.empty() || image.width != 0) std::abort();
    return;
  }
  if (image.width == 0 || image.height == 0 || image.channels == 0 || image.channels > 4) std::abort();
  if (image.samples.size() != image.SampleCount() * size_t(image.type)) std::abort();
  // Reading every sample also lets the sanitizers see the whole buffer.
  for (size_t i = 0; i < image.SampleCount(); ++i) {
    const float value = image.Value(i);
    if (!std::isfinite(value) || value < 0.0f || (image.type != ImageLib::SampleType::Float && value > 1.0f)) {
      std::abort();
    }
  }
}
