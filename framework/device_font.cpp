#include "framework/device_font.h"

#include <algorithm>

#include "framework/sprite_batch.h"

namespace {

// The shadow's colour before the text's alpha scales it.
constexpr float kShadowAlpha = 0x90 / 255.0f;

}  // namespace

Platform::Result DeviceFont::Create(Platform::GraphicsDevice* device, const std::string& faceName, int height,
                                    int weight, std::unique_ptr<DeviceFont>* font, std::string* error) {
  font->reset();
  std::unique_ptr<DeviceFont> made(new DeviceFont());
  made->device = device;
  made->face = Platform::FontFace::Open(faceName, height, weight, *error);
  if (!made->face) {
    *error = "could not open the font \"" + faceName + "\" at " + std::to_string(height) + " pixels: " + *error;
    return Platform::kFail;
  }
  made->atlas = std::make_unique<Platform::GlyphAtlas>(*made->face);
  made->quads.reserve(256);
  *font = std::move(made);
  return Platform::kOk;
}

DeviceFont::~DeviceFont() = default;

Platform::ShaderResourceView* DeviceFont::PageTexture(int page) {
  return page >= 0 && page < static_cast<int>(pages.size()) ? pages[page].get() : nullptr;
}

bool DeviceFont::RefreshTextures() {
  if (!device) return false;
  if (!atlas->IsDirty() && static_cast<int>(pages.size()) == atlas->PageCount()) return true;
  const int size = atlas->PageSize();
  bool complete = true;
  for (int page = 0; page < atlas->PageCount(); ++page) {
    const bool fresh = page >= static_cast<int>(pages.size());
    if (fresh) {
      std::unique_ptr<Platform::ShaderResourceView> texture;
      if (Platform::Failed(device->CreateDynamicTexture(static_cast<uint32_t>(size), static_cast<uint32_t>(size),
                                                        Platform::TextureChannels::Coverage, &texture))) {
        complete = false;
        break;
      }
      pages.push_back(std::move(texture));
    }
    // A page made just now is copied whole: its dirty rectangle may have been cleared before.
    const Platform::AtlasRect dirty = fresh ? Platform::AtlasRect{0, 0, size, size} : atlas->DirtyRect(page);
    if (dirty.width <= 0 || dirty.height <= 0) continue;
    const uint8_t* pixels = atlas->PagePixels(page) + static_cast<size_t>(dirty.y) * size + dirty.x;
    device->UpdateTexture(pages[page].get(), static_cast<uint32_t>(dirty.x), static_cast<uint32_t>(dirty.y),
                          static_cast<uint32_t>(dirty.width), static_cast<uint32_t>(dirty.height), pixels,
                          static_cast<uint32_t>(size));
  }
  if (complete) atlas->ClearDirty();
  return complete;
}

void DeviceFont::Draw(SpriteBatch& batch, std::string_view text, const Platform::TextRect& rect, uint32_t format,
                      const float rgba[4], bool shadow, float depth) {
  quads.clear();
  Platform::LayoutText(*atlas, text, rect, format, quads);
  if (quads.empty() || !RefreshTextures()) return;
  const int passes = shadow ? 2 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    const bool drawingShadow = shadow && pass == 0;
    const float offset = drawingShadow ? 1.0f : 0.0f;
    Sprite sprite{};
    sprite.depth = depth;
    if (drawingShadow) {
      sprite.color[3] = kShadowAlpha * rgba[3];
    } else {
      std::copy(rgba, rgba + 4, sprite.color);
    }
    for (const Platform::GlyphQuad& quad : quads) {
      sprite.left = quad.left + offset;
      sprite.top = quad.top + offset;
      sprite.right = quad.right + offset;
      sprite.bottom = quad.bottom + offset;
      sprite.u0 = quad.u0;
      sprite.v0 = quad.v0;
      sprite.u1 = quad.u1;
      sprite.v1 = quad.v1;
      batch.Draw(PageTexture(quad.page), sprite);
    }
  }
}
