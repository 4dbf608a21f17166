#pragma once

#include <cstdint>
#include <memory>
#include <string>

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

}  // namespace Platform
