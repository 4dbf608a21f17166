#include "platform/glyph_atlas.h"

#include <algorithm>
#include <cstring>

namespace Platform {
namespace {

// Every glyph keeps an empty border of this many pixels so linear filtering never picks up a
// neighbour.
constexpr int kPadding = 1;
constexpr int kLargestPage = 4096;

int PageSizeFor(const FontFace& face, int requested) {
  // Room for a few rows of the largest glyphs, in a power of two.
  int size = std::max(requested, 64);
  const int wanted = std::min(4 * (face.Metrics().lineHeight + 2 * kPadding), kLargestPage);
  while (size < wanted)
    size *= 2;
  return size;
}

}  // namespace

GlyphAtlas::GlyphAtlas(FontFace& face, int pageSize) : face(face), pageSize(PageSizeFor(face, pageSize)) {}

const AtlasGlyph& GlyphAtlas::Glyph(char32_t codePoint) {
  if (codePoint < ascii.size() && ascii[codePoint])
    return *ascii[codePoint];
  if (codePoint >= ascii.size()) {
    auto found = byCodePoint.find(codePoint);
    if (found != byCodePoint.end())
      return *found->second;
  }
  uint32_t index = face.GlyphIndex(codePoint);
  if (index == 0) {
    if (!fallbackChosen) {
      // .notdef is usually a visible box; some faces leave it blank, and then '?' says more.
      const AtlasGlyph& notdef = Rasterise(0);
      fallbackGlyph = notdef.rect.width > 0 ? 0 : face.GlyphIndex(U'?');
      fallbackChosen = true;
    }
    index = fallbackGlyph;
  }
  const AtlasGlyph& glyph = Rasterise(index);
  if (codePoint < ascii.size())
    ascii[codePoint] = &glyph;
  else
    byCodePoint.emplace(codePoint, &glyph);
  return glyph;
}

const AtlasGlyph& GlyphAtlas::Rasterise(uint32_t glyphIndex) {
  auto found = byGlyphIndex.find(glyphIndex);
  if (found != byGlyphIndex.end())
    return *found->second;

  AtlasGlyph& glyph = glyphs.emplace_back();
  byGlyphIndex.emplace(glyphIndex, &glyph);
  glyph.glyphIndex = glyphIndex;
  GlyphBitmap bitmap;
  if (!face.RenderGlyph(glyphIndex, bitmap, lastError))
    return glyph;
  glyph.advance = bitmap.advance;
  glyph.bearingX = bitmap.bearingX;
  glyph.bearingY = bitmap.bearingY;
  if (bitmap.width <= 0 || bitmap.height <= 0)
    return glyph;

  int page = 0, x = 0, y = 0;
  if (!Place(bitmap.width + 2 * kPadding, bitmap.height + 2 * kPadding, page, x, y)) {
    lastError = face.FamilyName() + ": glyph " + std::to_string(glyphIndex) + " (" + std::to_string(bitmap.width) +
                " x " + std::to_string(bitmap.height) + " pixels) is larger than an atlas page of " +
                std::to_string(pageSize) + " pixels";
    return glyph;
  }
  glyph.page = page;
  glyph.rect = {x + kPadding, y + kPadding, bitmap.width, bitmap.height};
  Page& target = pages[page];
  for (int row = 0; row < bitmap.height; ++row) {
    const uint8_t* source = bitmap.pixels + static_cast<ptrdiff_t>(row) * bitmap.pitch;
    std::memcpy(&target.pixels[static_cast<size_t>(glyph.rect.y + row) * pageSize + glyph.rect.x], source,
                static_cast<size_t>(bitmap.width));
  }
  MarkDirty(target, glyph.rect);
  return glyph;
}

// Shelf packing: glyphs fill a row left to right, the next row starts under the tallest glyph
// of the one before, and a full page opens a new one. Earlier pages are never revisited.
bool GlyphAtlas::Place(int width, int height, int& page, int& x, int& y) {
  if (width > pageSize || height > pageSize)
    return false;
  if (!pages.empty()) {
    Page& last = pages.back();
    if (last.cursorX + width > pageSize) {
      last.shelfY += last.shelfHeight;
      last.shelfHeight = 0;
      last.cursorX = 0;
    }
  }
  if (pages.empty() || pages.back().shelfY + height > pageSize) {
    Page& fresh = pages.emplace_back();
    fresh.pixels.assign(static_cast<size_t>(pageSize) * pageSize, 0);
    MarkDirty(fresh, {0, 0, pageSize, pageSize});
  }
  Page& last = pages.back();
  page = static_cast<int>(pages.size()) - 1;
  x = last.cursorX;
  y = last.shelfY;
  last.cursorX += width;
  last.shelfHeight = std::max(last.shelfHeight, height);
  return true;
}

void GlyphAtlas::MarkDirty(Page& page, const AtlasRect& rect) {
  if (!page.dirty) {
    page.dirty = true;
    page.dirtyLeft = rect.x;
    page.dirtyTop = rect.y;
    page.dirtyRight = rect.x + rect.width;
    page.dirtyBottom = rect.y + rect.height;
    return;
  }
  page.dirtyLeft = std::min(page.dirtyLeft, rect.x);
  page.dirtyTop = std::min(page.dirtyTop, rect.y);
  page.dirtyRight = std::max(page.dirtyRight, rect.x + rect.width);
  page.dirtyBottom = std::max(page.dirtyBottom, rect.y + rect.height);
}

bool GlyphAtlas::IsDirty() const {
  return std::any_of(pages.begin(), pages.end(), [](const Page& page) { return page.dirty; });
}

AtlasRect GlyphAtlas::DirtyRect(int page) const {
  const Page& p = pages[page];
  if (!p.dirty)
    return {};
  return {p.dirtyLeft, p.dirtyTop, p.dirtyRight - p.dirtyLeft, p.dirtyBottom - p.dirtyTop};
}

void GlyphAtlas::ClearDirty() {
  for (Page& page : pages)
    page.dirty = false;
}

}  // namespace Platform
