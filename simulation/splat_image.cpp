#include "simulation/splat_image.h"

#include <png.h>

#include <algorithm>
#include <utility>

namespace Simulation {
namespace {

// Splats are small; anything larger than this is not a splat and is refused before decoding.
constexpr uint32_t kMaxSplatSide = 1024;

// Decodes an image whose header was read into its coverage; frees the image on every way out.
bool ReadCoverage(png_image& image, std::vector<float>& coverage, std::string& error) {
  if (image.width == 0 || image.height == 0 || image.width > kMaxSplatSide || image.height > kMaxSplatSide) {
    error = "a " + std::to_string(image.width) + " x " + std::to_string(image.height) + " image is not a usable splat";
    png_image_free(&image);
    return false;
  }
  // Grey plus alpha, 8 bits each: the colour is not used, only how much of the texel is covered.
  image.format = PNG_FORMAT_GA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    error = image.message;
    png_image_free(&image);
    return false;
  }
  coverage.resize(size_t(image.width) * image.height);
  for (size_t i = 0; i < coverage.size(); ++i) coverage[i] = pixels[2 * i + 1] * (1.0f / 255.0f);
  return true;
}

}  // namespace

bool SplatImage::Load(const char* path, std::string& error) {
  Assign(0, 0, {});
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path)) {
    error = image.message;
    png_image_free(&image);
    return false;
  }
  std::vector<float> coverage;
  if (!ReadCoverage(image, coverage, error)) return false;
  Assign(image.width, image.height, std::move(coverage));
  return true;
}

bool SplatImage::LoadFromMemory(const uint8_t* bytes, size_t size, std::string& error) {
  Assign(0, 0, {});
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes, size)) {
    error = image.message;
    png_image_free(&image);
    return false;
  }
  std::vector<float> coverage;
  if (!ReadCoverage(image, coverage, error)) return false;
  Assign(image.width, image.height, std::move(coverage));
  return true;
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
