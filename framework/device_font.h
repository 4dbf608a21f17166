#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/font_face.h"
#include "platform/glyph_atlas.h"
#include "platform/graphics_device.h"
#include "platform/result.h"
#include "platform/text_layout.h"

class SpriteBatch;

// A font the GUI draws with: a face, its glyph atlas and one coverage texture per atlas page,
// refreshed from the atlas's changed rectangles before glyphs from it are drawn.
class DeviceFont {
public:
  // Opens the face (a stand-in when the family is missing, see Platform::FontFace::Open).
  // Fails with kFail and error saying why when no face can be opened.
  static Platform::Result Create(Platform::GraphicsDevice* device, const std::string& face, int height, int weight,
                                 std::unique_ptr<DeviceFont>* font, std::string* error);
  ~DeviceFont();

  Platform::FontFace& Face() { return *face; }
  Platform::GlyphAtlas& Atlas() { return *atlas; }

  // Lays the text out in rect with the DT_* format and queues its glyphs in the batch at depth,
  // tinted by rgba; with shadow, the same glyphs first one pixel right and down in a dark colour.
  void Draw(SpriteBatch& batch, std::string_view text, const Platform::TextRect& rect, uint32_t format,
            const float rgba[4], bool shadow, float depth);

  // The page textures as last refreshed (for tests).
  Platform::ShaderResourceView* PageTexture(int page);

private:
  DeviceFont() = default;
  // Brings the page textures up to date with the atlas; false when a page cannot be made.
  bool RefreshTextures();

  Platform::GraphicsDevice* device = nullptr;
  std::unique_ptr<Platform::FontFace> face;
  std::unique_ptr<Platform::GlyphAtlas> atlas;
  std::vector<std::unique_ptr<Platform::ShaderResourceView>> pages;
  std::vector<Platform::GlyphQuad> quads;  // reused by every Draw
};
