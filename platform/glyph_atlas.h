#pragma once

#include "platform/font_face.h"

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

// The glyphs of one face, rasterised the first time they are asked for and packed into square
// pages of 8-bit coverage, ready to be copied into single-channel textures.
namespace Platform {

struct AtlasRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

struct AtlasGlyph {
  uint32_t glyphIndex = 0;
  int page = 0;
  AtlasRect rect;       // the glyph's pixels in its page; empty for blank glyphs such as space
  int bearingX = 0;     // from the pen position to the left edge of rect
  int bearingY = 0;     // from the baseline up to the top edge of rect
  float advance = 0.0f; // pen movement in pixels, unrounded
};

class GlyphAtlas {
public:
  // Pages are pageSize × pageSize, or larger when the face is too big for that size.
  explicit GlyphAtlas(FontFace& face, int pageSize = 512);

  FontFace& Face() const { return face; }

  // The glyph for a code point, rasterised on first use. A code point the face lacks gets the
  // face's .notdef box, or '?' when that draws nothing. The reference stays valid for the
  // atlas's lifetime; looking up a glyph already there allocates nothing.
  const AtlasGlyph& Glyph(char32_t codePoint);

  int PageSize() const { return pageSize; }
  int PageCount() const { return static_cast<int>(pages.size()); }
  // PageSize() rows of PageSize() bytes, top row first.
  const uint8_t* PagePixels(int page) const { return pages[page].pixels.data(); }

  // Pixels changed since the last ClearDirty(), per page, so the GPU copy can be refreshed in
  // part. A new page is dirty as a whole.
  bool IsDirty() const;
  AtlasRect DirtyRect(int page) const;
  void ClearDirty();

  // What went wrong the last time a glyph could not be rasterised (it is then drawn blank).
  const std::string& LastError() const { return lastError; }

private:
  struct Page {
    std::vector<uint8_t> pixels;
    int shelfY = 0;       // top of the shelf being filled
    int shelfHeight = 0;
    int cursorX = 0;
    bool dirty = false;
    int dirtyLeft = 0, dirtyTop = 0, dirtyRight = 0, dirtyBottom = 0;
  };

  const AtlasGlyph& Rasterise(uint32_t glyphIndex);
  bool Place(int width, int height, int& page, int& x, int& y);
  void MarkDirty(Page& page, const AtlasRect& rect);

  FontFace& face;
  int pageSize;
  std::vector<Page> pages;
  std::deque<AtlasGlyph> glyphs;  // a deque keeps references stable as it grows
  std::array<const AtlasGlyph*, 128> ascii{};
  std::unordered_map<char32_t, const AtlasGlyph*> byCodePoint;
  std::unordered_map<uint32_t, const AtlasGlyph*> byGlyphIndex;
  uint32_t fallbackGlyph = 0;
  bool fallbackChosen = false;
  std::string lastError;
};

}  // namespace Platform
