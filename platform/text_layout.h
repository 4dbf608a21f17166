#pragma once

#include "platform/glyph_atlas.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Turning UTF-8 text into positioned glyph quads for a sprite batch, with the classic
// text-drawing format flags, plus the measurements an edit box needs for its caret.
namespace Platform {

// Text format flags, with the classic values the toolkit's elements store. Other bits (word
// breaks, tab expansion, ellipses) are accepted and ignored.
inline constexpr uint32_t DT_TOP = 0x0;
inline constexpr uint32_t DT_LEFT = 0x0;
inline constexpr uint32_t DT_CENTER = 0x1;
inline constexpr uint32_t DT_RIGHT = 0x2;
inline constexpr uint32_t DT_VCENTER = 0x4;
inline constexpr uint32_t DT_BOTTOM = 0x8;
inline constexpr uint32_t DT_SINGLELINE = 0x20;
inline constexpr uint32_t DT_NOCLIP = 0x100;
inline constexpr uint32_t DT_CALCRECT = 0x400;

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The code point starting at text[offset], moving offset past it. A malformed or truncated
// sequence yields U+FFFD and skips only its longest valid beginning (at least one byte), so
// decoding resynchronises on the next possible lead byte. Never reads at or past text.size();
// offset must be below it.
char32_t DecodeUtf8(std::string_view text, size_t& offset);
std::u32string DecodeUtf8(std::string_view text);
size_t CountCodePoints(std::string_view text);

struct TextRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

struct TextSize {
  int width = 0;
  int height = 0;
};

// One glyph to draw: a screen rectangle in pixels (top-left origin, y down) and the matching
// part of an atlas page in texture coordinates (0..1, v = 0 at the page's top row).
struct GlyphQuad {
  float left, top, right, bottom;
  float u0, v0, u1, v1;
  int page;
};

struct TextLayoutResult {
  int height = 0;   // of the text block: lines × line height
  TextRect bounds;  // where the block lies after alignment, before clipping
};

// Width of the widest line and height of all lines. '\n' starts a new line unless the format
// has DT_SINGLELINE; other control characters take no space. Empty text is one empty line.
TextSize MeasureText(GlyphAtlas& atlas, std::string_view text, uint32_t format);

// Lays the text out in rect and appends one quad per visible glyph to quads (which keeps its
// capacity, so a reused vector allocates nothing). Each line is aligned on its own; the block
// as a whole is aligned vertically, with or without DT_SINGLELINE. Without DT_NOCLIP, quads are
// cut to rect (texture coordinates cut with them) and those wholly outside are dropped. With
// DT_CALCRECT nothing is appended and bounds is rect's top-left corner with the text's size.
TextLayoutResult LayoutText(GlyphAtlas& atlas, std::string_view text, const TextRect& rect, uint32_t format,
                            std::vector<GlyphQuad>& quads);

// For one line of text drawn from x = 0: the caret position (whole pixels) before the code point
// at `index` (the end of the text when index is past it), and the index whose caret lies
// nearest to x (the earlier one on a tie). CaretX(HitTest(CaretX(i))) == CaretX(i).
int CaretX(GlyphAtlas& atlas, std::string_view text, size_t index);
size_t HitTest(GlyphAtlas& atlas, std::string_view text, float x);

}  // namespace Platform
