#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imagelib/decoded_image.h"
#include "platform/gpu_resources.h"
#include "platform/graphics_device.h"

// Uploading pictures as sampled 2D textures: row 0 of the data is texture coordinate v = 0, all
// mip levels are made, filtering is linear and coordinates wrap.
namespace Platform {

// An RGBA32F texture. Fails (saying why on error) for an empty or too large size or no data.
Result CreateFloatTexture(uint32_t width, uint32_t height, const float* rgba, std::unique_ptr<ShaderResourceView>* view,
                          std::string* error);

// An RGBA texture from a decoded picture: grey spreads over red, green and blue, a missing alpha
// is opaque. 8-bit pictures become RGBA8, others RGBA32F, so 16-bit samples keep their precision.
Result CreateTextureFromImage(const ImageLib::DecodedImage& image, std::unique_ptr<ShaderResourceView>* view,
                              std::string* error);

// A zero-filled texture without mipmaps, linear and clamped, refreshed in parts with
// UpdateDynamicTexture. Coverage textures are R8 read as (1, 1, 1, r).
Result CreateDynamicTexture(uint32_t width, uint32_t height, TextureChannels channels,
                            std::unique_ptr<ShaderResourceView>* view, std::string* error);
Result UpdateDynamicTexture(ShaderResourceView& view, uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                            const void* texels, uint32_t rowPitch, std::string* error);

// Sets the filters and wrapping of a mipmapped texture (see TextureSampling).
void ApplyTextureSampling(const ShaderResourceView& view, const TextureSampling& sampling);

// One level of a float texture given level by level: rows from the top, 2 or 3 floats a texel.
struct FloatTextureLevel {
  uint32_t width = 0;
  uint32_t height = 0;
  const float* texels = nullptr;
};

// A half-float RG or RGB texture (channels 2 or 3) made of exactly the levels given, for data
// whose levels are not plain averages of each other (filtered environments, tables). Level i
// must be max(1, width >> i) x max(1, height >> i) of level 0. Filtering is linear within and
// between levels; u wraps when wrapU (a picture all round the horizon), else clamps; v clamps.
Result CreateFloatLevelsTexture(uint32_t channels, const std::vector<FloatTextureLevel>& levels, bool wrapU,
                                std::unique_ptr<ShaderResourceView>* view, std::string* error);

}  // namespace Platform
