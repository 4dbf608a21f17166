#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Decoding of the image files textures are made from: JPEG (colour or grey) and PNG (grey, grey
// with alpha, RGB, RGBA, palette; 8 or 16 bits a channel). Every picture comes out as RGBA with
// row 0 at the top; grey becomes equal red, green and blue, and a missing alpha becomes opaque.
namespace Platform {

// Pictures larger than this on either side, or with more pixels than kMaxTexturePixels, are
// refused before anything is allocated: such sizes come from corrupt headers far more often than
// from real textures.
inline constexpr uint32_t kMaxTextureSide = 16384;
inline constexpr uint64_t kMaxTexturePixels = uint64_t(1) << 26;

struct DecodedImage {
  uint32_t width = 0;
  uint32_t height = 0;
  // 8-bit sources fill rgba8; 16-bit PNGs fill rgbaFloat (0..1) so no precision is lost.
  std::vector<uint8_t> rgba8;
  std::vector<float> rgbaFloat;

  bool IsFloat() const { return !rgbaFloat.empty(); }
};

// Decodes a JPEG or PNG file held in memory, told apart by their signatures. False with error
// saying why (unknown format, corrupt or truncated data, too large) when it fails.
bool DecodeImageFile(const void* bytes, size_t size, DecodedImage* image, std::string* error);

// Reads a whole file. False with error saying why.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);

}  // namespace Platform
