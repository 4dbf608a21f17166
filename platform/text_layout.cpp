#include "platform/text_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Platform {
namespace {

bool IsContinuation(unsigned char byte, unsigned char low = 0x80, unsigned char high = 0xBF) {
  return byte >= low && byte <= high;
}

bool Draws(char32_t codePoint) {
  return codePoint >= 0x20 && codePoint != 0x7F;
}

int FloorDiv2(int value) {
  return value >= 0 ? value / 2 : -((1 - value) / 2);
}

// Walks one line, calling visit(glyph, x, index) with each glyph's snapped origin x relative to
// the line start, and returns the pen position after the line. Kerning moves a glyph's origin,
// so the caret before it sits at the same x.
template <typename Visit>
float WalkLine(GlyphAtlas& atlas, std::string_view line, Visit&& visit) {
  const FontFace& face = atlas.Face();
  const bool kerns = face.HasKerning();
  float pen = 0.0f;
  uint32_t previous = 0;
  size_t index = 0;
  for (size_t offset = 0; offset < line.size(); ++index) {
    const char32_t codePoint = DecodeUtf8(line, offset);
    if (!Draws(codePoint)) {
      visit(nullptr, static_cast<int>(std::lround(pen)), index);
      previous = 0;
      continue;
    }
    const AtlasGlyph& glyph = atlas.Glyph(codePoint);
    if (kerns && previous)
      pen += face.Kerning(previous, glyph.glyphIndex);
    visit(&glyph, static_cast<int>(std::lround(pen)), index);
    pen += glyph.advance;
    previous = glyph.glyphIndex;
  }
  return pen;
}

int LineWidth(GlyphAtlas& atlas, std::string_view line) {
  return static_cast<int>(std::lround(WalkLine(atlas, line, [](const AtlasGlyph*, int, size_t) {})));
}

// The next line of text from `offset` (without its '\n'), moving offset past the break.
std::string_view NextLine(std::string_view text, size_t& offset, bool singleLine) {
  const size_t start = offset;
  const size_t end = singleLine ? std::string_view::npos : text.find('\n', start);
  if (end == std::string_view::npos) {
    offset = text.size() + 1;
    return text.substr(start);
  }
  offset = end + 1;
  return text.substr(start, end - start);
}

size_t LineCount(std::string_view text, bool singleLine) {
  return singleLine ? 1 : 1 + static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Cuts a quad to the clip rectangle, moving its texture coordinates in proportion. False when
// nothing of it is left.
bool Clip(GlyphQuad& quad, const TextRect& clip) {
  const float left = static_cast<float>(clip.left), right = static_cast<float>(clip.right);
  const float top = static_cast<float>(clip.top), bottom = static_cast<float>(clip.bottom);
  if (quad.right <= left || quad.left >= right || quad.bottom <= top || quad.top >= bottom)
    return false;
  const float width = quad.right - quad.left, height = quad.bottom - quad.top;
  const float du = (quad.u1 - quad.u0) / width, dv = (quad.v1 - quad.v0) / height;
  if (quad.left < left) {
    quad.u0 += (left - quad.left) * du;
    quad.left = left;
  }
  if (quad.right > right) {
    quad.u1 -= (quad.right - right) * du;
    quad.right = right;
  }
  if (quad.top < top) {
    quad.v0 += (top - quad.top) * dv;
    quad.top = top;
  }
  if (quad.bottom > bottom) {
    quad.v1 -= (quad.bottom - bottom) * dv;
    quad.bottom = bottom;
  }
  return true;
}

}  // namespace

char32_t DecodeUtf8(std::string_view text, size_t& offset) {
  const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(offset++);
  if (lead < 0x80)
    return lead;
  int length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
  char32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0)
      low = 0xA0;  // no overlong forms
    if (lead == 0xED)
      high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0)
      low = 0x90;
    if (lead == 0xF4)
      high = 0x8F;  // nothing above U+10FFFF
  } else {
    return kReplacementCharacter;  // a stray continuation byte or a byte that never leads
  }
  for (int i = 1; i < length; ++i) {
    if (offset >= text.size())
      return kReplacementCharacter;
    const unsigned char next = byte(offset);
    if (i == 1 ? !IsContinuation(next, low, high) : !IsContinuation(next))
      return kReplacementCharacter;
    value = (value << 6) | (next & 0x3F);
    ++offset;
  }
  return value;
}

std::u32string DecodeUtf8(std::string_view text) {
  std::u32string decoded;
  decoded.reserve(text.size());
  for (size_t offset = 0; offset < text.size();)
    decoded.push_back(DecodeUtf8(text, offset));
  return decoded;
}

size_t CountCodePoints(std::string_view text) {
  size_t count = 0;
  for (size_t offset = 0; offset < text.size(); ++count)
    DecodeUtf8(text, offset);
  return count;
}

TextSize MeasureText(GlyphAtlas& atlas, std::string_view text, uint32_t format) {
  const bool singleLine = (format & DT_SINGLELINE) != 0;
  TextSize size;
  for (size_t offset = 0; offset <= text.size();)
    size.width = std::max(size.width, LineWidth(atlas, NextLine(text, offset, singleLine)));
  size.height = static_cast<int>(LineCount(text, singleLine)) * atlas.Face().Metrics().lineHeight;
  return size;
}

TextLayoutResult LayoutText(GlyphAtlas& atlas, std::string_view text, const TextRect& rect, uint32_t format,
                            std::vector<GlyphQuad>& quads) {
  const bool singleLine = (format & DT_SINGLELINE) != 0;
  const FontMetrics& metrics = atlas.Face().Metrics();
  TextLayoutResult result;
  result.height = static_cast<int>(LineCount(text, singleLine)) * metrics.lineHeight;
  if (format & DT_CALCRECT) {
    const TextSize size = MeasureText(atlas, text, format);
    result.bounds = {rect.left, rect.top, rect.left + size.width, rect.top + size.height};
    return result;
  }

  int top = rect.top;
  if (format & DT_VCENTER)
    top = rect.top + FloorDiv2(rect.bottom - rect.top - result.height);
  else if (format & DT_BOTTOM)
    top = rect.bottom - result.height;
  result.bounds = {std::numeric_limits<int>::max(), top, std::numeric_limits<int>::min(), top + result.height};

  const bool clip = (format & DT_NOCLIP) == 0;
  const float pageSize = static_cast<float>(atlas.PageSize());
  int baseline = top + metrics.ascent;
  for (size_t offset = 0; offset <= text.size(); baseline += metrics.lineHeight) {
    const std::string_view line = NextLine(text, offset, singleLine);
    const int width = LineWidth(atlas, line);
    int left = rect.left;
    if (format & DT_CENTER)
      left = rect.left + FloorDiv2(rect.right - rect.left - width);
    else if (format & DT_RIGHT)
      left = rect.right - width;
    result.bounds.left = std::min(result.bounds.left, left);
    result.bounds.right = std::max(result.bounds.right, left + width);

    WalkLine(atlas, line, [&](const AtlasGlyph* glyph, int x, size_t) {
      if (!glyph || glyph->rect.width == 0)
        return;
      GlyphQuad quad;
      quad.left = static_cast<float>(left + x + glyph->bearingX);
      quad.top = static_cast<float>(baseline - glyph->bearingY);
      quad.right = quad.left + static_cast<float>(glyph->rect.width);
      quad.bottom = quad.top + static_cast<float>(glyph->rect.height);
      quad.u0 = static_cast<float>(glyph->rect.x) / pageSize;
      quad.v0 = static_cast<float>(glyph->rect.y) / pageSize;
      quad.u1 = static_cast<float>(glyph->rect.x + glyph->rect.width) / pageSize;
      quad.v1 = static_cast<float>(glyph->rect.y + glyph->rect.height) / pageSize;
      quad.page = glyph->page;
      if (!clip || Clip(quad, rect))
        quads.push_back(quad);
    });
  }
  return result;
}

int CaretX(GlyphAtlas& atlas, std::string_view text, size_t index) {
  int caret = 0;
  bool found = false;
  const float end = WalkLine(atlas, text, [&](const AtlasGlyph*, int x, size_t at) {
    if (at == index) {
      caret = x;
      found = true;
    }
  });
  return found ? caret : static_cast<int>(std::lround(end));
}

size_t HitTest(GlyphAtlas& atlas, std::string_view text, float x) {
  size_t best = 0;
  float bestDistance = std::numeric_limits<float>::infinity();
  const auto consider = [&](int caret, size_t index) {
    const float distance = std::fabs(x - static_cast<float>(caret));
    if (distance < bestDistance) {
      bestDistance = distance;
      best = index;
    }
  };
  size_t count = 0;
  const float end = WalkLine(atlas, text, [&](const AtlasGlyph*, int caret, size_t index) {
    consider(caret, index);
    count = index + 1;
  });
  consider(static_cast<int>(std::lround(end)), count);
  return best;
}

}  // namespace Platform
