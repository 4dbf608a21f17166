#include "assetexport/texture_sampler.h"

#include <cmath>
#include <utility>

#include "imagelib/decoded_image.h"
#include "imagelib/image_decoder.h"

namespace AssetExport {

TextureSampler::TextureSampler(const ImageLib::ImageF& image, uint32_t wanted) {
  if (image.samples == nullptr || image.width == 0 || image.height == 0 || image.channels == 0 || wanted == 0 ||
      wanted > 4) {
    return;
  }
  width = image.width;
  height = image.height;
  channels = wanted;
  const size_t pixels = size_t(width) * height;
  texels.resize(pixels * channels);
  for (size_t i = 0; i < pixels; ++i) {
    for (uint32_t c = 0; c < channels; ++c) {
      const int source = ImageLib::RgbaSource(image.channels, int(c));
      texels[i * channels + c] = source < 0 ? 1.0f : image.samples[i * image.channels + uint32_t(source)];
    }
  }
}

TextureSampler::TextureSampler(uint32_t width, uint32_t height, uint32_t channels, std::vector<float> texels)
    : width(width), height(height), channels(channels), texels(std::move(texels)) {
  if (this->texels.size() != size_t(width) * height * channels || channels == 0 || channels > 4) {
    *this = TextureSampler();
  }
}

void TextureSampler::Sample(float s, float t, float* out) const {
  // Texel centres at half steps: the four texels around the point, wrapped.
  const float x = s * float(width) - 0.5f, y = t * float(height) - 0.5f;
  const float x0f = std::floor(x), y0f = std::floor(y);
  const float fx = x - x0f, fy = y - y0f;
  auto wrap = [](float coordinate, uint32_t size) {
    const float wrapped = coordinate - std::floor(coordinate / float(size)) * float(size);
    const uint32_t index = uint32_t(wrapped);
    return index < size ? index : 0u;  // NaN and rounding up to size land on 0
  };
  const uint32_t x0 = wrap(x0f, width), y0 = wrap(y0f, height);
  const uint32_t x1 = x0 + 1 < width ? x0 + 1 : 0, y1 = y0 + 1 < height ? y0 + 1 : 0;
  const float* row0 = texels.data() + size_t(y0) * width * channels;
  const float* row1 = texels.data() + size_t(y1) * width * channels;
  const float w00 = (1.0f - fx) * (1.0f - fy), w10 = fx * (1.0f - fy), w01 = (1.0f - fx) * fy, w11 = fx * fy;
  for (uint32_t c = 0; c < channels; ++c) {
    out[c] = row0[x0 * channels + c] * w00 + row0[x1 * channels + c] * w10 + row1[x0 * channels + c] * w01 +
             row1[x1 * channels + c] * w11;
  }
}

bool LoadTextureSampler(const std::string& path, uint32_t channels, TextureSampler* sampler, std::string* error) {
  std::vector<uint8_t> bytes;
  std::string why;
  ImageLib::DecodedImage decoded;
  if (!ImageLib::ReadImageFile(path.c_str(), bytes, why)) {
    *error = why;
    return false;
  }
  const std::optional<ImageLib::ImageFormat> format = ImageLib::FormatOfName(path.c_str());
  const bool decodedOk = format ? ImageLib::DecodeImage(*format, bytes.data(), bytes.size(), decoded, why)
                                : ImageLib::DecodeImage(bytes.data(), bytes.size(), decoded, why);
  if (!decodedOk) {
    *error = path + ": " + why;
    return false;
  }
  const size_t pixels = size_t(decoded.width) * decoded.height;
  std::vector<float> texels(pixels * channels);
  for (size_t i = 0; i < pixels; ++i) {
    for (uint32_t c = 0; c < channels; ++c) {
      const int source = ImageLib::RgbaSource(decoded.channels, int(c));
      texels[i * channels + c] = source < 0 ? 1.0f : decoded.Value(i * decoded.channels + uint32_t(source));
    }
  }
  *sampler = TextureSampler(decoded.width, decoded.height, channels, std::move(texels));
  if (sampler->Empty()) {
    *error = path + ": the picture has no pixels";
    return false;
  }
  return true;
}

}  // namespace AssetExport
