#pragma once

#include <cstdint>

namespace ImageLib {

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

// The float image loaded from Targa, Radiance HDR or JPEG files, chosen by the file name.
class ImageF : public Image<float> {
public:
  bool Load(const char* path) override;
};

}  // namespace ImageLib
