#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imagelib/image.h"

namespace AssetExport {

// A picture held for bilinear lookups that wrap around its edges (as a repeating texture is
// read): up to four float channels a texel, rows from the top. Lookups go by (s, t) with s
// across the columns and t down the rows, both in texture repeats, texel centres at half steps.
class TextureSampler {
public:
  TextureSampler() = default;
  // Takes the first `channels` channels of the image (a grey image gives its grey to all).
  // Empty when the image has no pixels.
  TextureSampler(const ImageLib::ImageF& image, uint32_t channels);
  // From samples already laid out that way.
  TextureSampler(uint32_t width, uint32_t height, uint32_t channels, std::vector<float> texels);

  bool Empty() const { return texels.empty(); }
  uint32_t Width() const { return width; }
  uint32_t Height() const { return height; }
  uint32_t Channels() const { return channels; }

  // Writes Channels() values into out.
  void Sample(float s, float t, float* out) const;

private:
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t channels = 0;
  std::vector<float> texels;
};

// Decodes an image file (JPEG, PNG, Targa, Radiance) through imagelib into a sampler of
// `channels` channels; false with the reason (naming the file) in error.
bool LoadTextureSampler(const std::string& path, uint32_t channels, TextureSampler* sampler, std::string* error);

}  // namespace AssetExport
