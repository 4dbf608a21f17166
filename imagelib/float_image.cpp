#include <cstdio>
#include <new>

#include "imagelib/image.h"
#include "imagelib/image_decoder.h"

namespace ImageLib {
namespace {

// Turns a decoded picture into the image's float samples. The sizes are copied first, so a
// failed conversion still tells what the file claimed to be.
bool ConvertToFloat(const DecodedImage& decoded, bool rgbJpegOnly, Image<float>& image) {
  image.width = decoded.width;
  image.height = decoded.height;
  image.channels = decoded.channels == 2 ? 4 : decoded.channels;
  if (decoded.type == SampleType::Float) {
    image.formatCode = kFormatRadiance;
  } else {
    image.formatCode = image.channels == 1 ? kFormatGrey : image.channels == 3 ? kFormatRgb : kFormatRgba;
  }
  if (rgbJpegOnly && decoded.channels != 3) image.formatCode = 0;
  if (image.formatCode == 0 || decoded.SampleCount() == 0) return false;

  const size_t pixels = size_t(decoded.width) * decoded.height;
  float* samples = new (std::nothrow) float[pixels * image.channels];
  if (samples == nullptr) return false;
  float* out = samples;
  for (size_t pixel = 0; pixel < pixels; ++pixel) {
    for (uint32_t c = 0; c < image.channels; ++c) {
      uint32_t source = image.channels == decoded.channels ? c : RgbaSource(decoded.channels, int(c));
      *out++ = decoded.Value(pixel * decoded.channels + source);
    }
  }
  image.samples = samples;
  return true;
}

}  // namespace

bool ImageF::Load(const char* path) {
  Reset();
  const std::optional<ImageFormat> format = FormatOfName(path);
  if (!format) return false;
  std::vector<uint8_t> bytes;
  DecodedImage decoded;
  std::string error;
  // JPEG failures are reported here, as libjpeg's own reader reports them; the other formats
  // fail quietly and leave the report to the caller.
  const bool jpeg = *format == ImageFormat::Jpeg;
  if (!ReadImageFile(path, bytes, error)) {
    if (jpeg) std::fprintf(stderr, "can't open %s\n", path);
    return false;
  }
  if (!DecodeImage(*format, bytes.data(), bytes.size(), decoded, error)) {
    if (jpeg) std::fprintf(stderr, "%s: %s\n", path, error.c_str());
    return false;
  }
  valid = ConvertToFloat(decoded, jpeg, *this);
  return valid;
}

bool ImageF::Decode(const uint8_t* bytes, size_t size, std::string& error) {
  Reset();
  DecodedImage decoded;
  if (!DecodeImage(bytes, size, decoded, error)) return false;
  valid = ConvertToFloat(decoded, false, *this);
  if (!valid) {
    Reset();
    error = decoded.SampleCount() == 0 ? "the picture holds no pixels" : "out of memory for the picture";
  }
  return valid;
}

}  // namespace ImageLib
