#include "simulation/splat_image.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "imagelib/image_decoder.h"

namespace Simulation {
namespace {

// Splats are small; anything larger than this is not a splat.
constexpr uint32_t kMaxSplatSide = 1024;

// How much of each texel the PNG covers: its alpha as a multiple of 1/255, 16-bit alpha rounded
// to 8 bits first, and 1 where the picture has no alpha.
bool ReadCoverage(const uint8_t* bytes, size_t size, SplatImage& splat, std::string& error) {
  ImageLib::DecodedImage image;
  if (!ImageLib::DecodeImage(ImageLib::ImageFormat::Png, bytes, size, image, error)) return false;
  if (image.width > kMaxSplatSide || image.height > kMaxSplatSide) {
    error = "a " + std::to_string(image.width) + " x " + std::to_string(image.height) + " image is not a usable splat";
    return false;
  }
  const int alpha = ImageLib::RgbaSource(image.channels, 3);
  std::vector<float> coverage(size_t(image.width) * image.height, 1.0f);
  if (alpha >= 0) {
    for (size_t i = 0; i < coverage.size(); ++i) {
      const size_t sample = i * image.channels + size_t(alpha);
      uint32_t value = 0;
      if (image.type == ImageLib::SampleType::Word) {
        uint16_t word;
        std::memcpy(&word, &image.samples[2 * sample], sizeof word);
        value = (word * 255u + 32895u) >> 16;
      } else {
        value = image.samples[sample];
      }
      coverage[i] = value * (1.0f / 255.0f);
    }
  }
  splat.Assign(image.width, image.height, std::move(coverage));
  return true;
}

}  // namespace

bool SplatImage::Load(const char* path, std::string& error) {
  Assign(0, 0, {});
  std::vector<uint8_t> bytes;
  return ImageLib::ReadImageFile(path, bytes, error) && ReadCoverage(bytes.data(), bytes.size(), *this, error);
}

bool SplatImage::LoadFromMemory(const uint8_t* bytes, size_t size, std::string& error) {
  Assign(0, 0, {});
  return ReadCoverage(bytes, size, *this, error);
}

void SplatImage::Assign(uint32_t newWidth, uint32_t newHeight, std::vector<float> newAlpha) {
  if (newAlpha.size() != size_t(newWidth) * newHeight) newWidth = newHeight = 0, newAlpha.clear();
  width = newWidth;
  height = newHeight;
  alpha = std::move(newAlpha);
  taps.assign(size_t(width + 1) * (height + 1) * 4, 0.0f);
  if (width == 0 || height == 0) return;
  auto at = [&](int64_t x, int64_t y) {
    x = std::clamp<int64_t>(x, 0, width - 1);
    y = std::clamp<int64_t>(y, 0, height - 1);
    return alpha[size_t(y) * width + size_t(x)];
  };
  float* tap = taps.data();
  for (int64_t j = -1; j < int64_t(height); ++j) {
    for (int64_t i = -1; i < int64_t(width); ++i) {
      *tap++ = at(i, j);
      *tap++ = at(i + 1, j);
      *tap++ = at(i, j + 1);
      *tap++ = at(i + 1, j + 1);
    }
  }
}

}  // namespace Simulation
