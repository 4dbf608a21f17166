#include <cstddef>
#include <cstring>
#include <limits>
#include <new>

#include "imagelib/image.h"
#include "imagelib/image_decoder.h"

namespace ImageLib {
namespace {

// Turns a decoded raw buffer into the image's float samples. The description's sizes are
// copied first, so a failed conversion still tells what the file claimed to be.
bool ConvertToFloat(const ImageDescription& description, const uint8_t* raw, Image<float>& image) {
  image.width = static_cast<uint32_t>(description.width);
  image.height = static_cast<uint32_t>(description.height);
  image.channels = static_cast<uint32_t>(description.channels);
  image.formatCode = description.formatCode;
  if (raw == nullptr || description.width <= 0 || description.height <= 0 ||
      description.channels <= 0 || description.formatCode == 0) {
    return false;
  }

  size_t count = static_cast<size_t>(description.width);
  for (int32_t factor : {description.height, description.channels}) {
    if (count > std::numeric_limits<size_t>::max() / sizeof(float) / static_cast<size_t>(factor)) {
      return false;
    }
    count *= static_cast<size_t>(factor);
  }
  float* samples = new (std::nothrow) float[count];
  if (samples == nullptr) return false;

  if (description.formatCode & kFormatFloatSamples) {
    std::memcpy(samples, raw, count * sizeof(float));
  } else {
    float byteToFloat[256];
    for (int value = 0; value < 256; ++value) byteToFloat[value] = static_cast<float>(value / 255.0);
    for (size_t i = 0; i < count; ++i) samples[i] = byteToFloat[raw[i]];
  }
  image.samples = samples;
  return true;
}

}  // namespace

bool ImageF::Load(const char* path) {
  Reset();
  ImageDescription description;
  RawBuffer raw;
  valid = Decode(path, description, raw);
  if (valid) valid = ConvertToFloat(description, raw.get(), *this);
  return valid;
}

}  // namespace ImageLib
