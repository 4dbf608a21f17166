#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ImageLib {

// Format codes: the low four bits give the channel layout, the flags the sample type.
enum FormatCode : uint32_t {
  kFormatGrey = 1,
  kFormatRgb = 7,
  kFormatRgba = 15,
  kFormatFloatSamples = 0x80,
  kFormatRadiance = kFormatFloatSamples | 0x20 | kFormatRgb,  // 167
};

// An image held as 32-bit float samples, whatever the file held. Row 0 is the top row;
// pixel (x, y) channel c is at samples[(y * width + x) * channels + c], channels in R, G, B, A order.
// Consumers read the fields directly; images are shared, never copied.
template <class T>
class Image {
public:
  Image() = default;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  virtual ~Image() { Reset(); }

  virtual bool Load(const char* path) = 0;

  uint32_t formatCode = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t channels = 0;
  bool valid = false;
  T* samples = nullptr;

protected:
  void Reset() {
    delete[] samples;
    samples = nullptr;
    formatCode = width = height = channels = 0;
    valid = false;
  }
};

// The float image loaded from Targa, Radiance HDR, JPEG or PNG files, the decoder chosen by the
// file name (FormatOfName). Grey and alpha pictures become RGBA; a JPEG whose output is not RGB
// decodes but gets format code 0 and does not load. Failed JPEG reads say why on stderr.
class ImageF : public Image<float> {
public:
  bool Load(const char* path) override;

  // Loads a JPEG or PNG file held in memory (told apart by their signatures), as a model file
  // embeds its textures. Unlike Load, grey JPEG pictures load too. False with the reason in
  // `error`; the image is then empty.
  bool Decode(const uint8_t* bytes, size_t size, std::string& error);
};

}  // namespace ImageLib
