#include "platform/text_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace Platform {
namespace {

TEST(Utf8, DecodesValidSequencesAndReplacesEachMalformedPartOnce) {
  EXPECT_EQ(DecodeUtf8("A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), (std::u32string{U'A', 0xE9, 0x20AC, 0x1F600}));
  const char32_t r = kReplacementCharacter;
  // Stray continuation, bytes that never lead, overlong forms, surrogates, beyond U+10FFFF.
  EXPECT_EQ(DecodeUtf8("\x80" "a"), (std::u32string{r, U'a'}));
  EXPECT_EQ(DecodeUtf8("\xC0\x80\xFF"), (std::u32string{r, r, r}));
  EXPECT_EQ(DecodeUtf8("\xE0\x80\x80"), (std::u32string{r, r, r}));
  EXPECT_EQ(DecodeUtf8("\xED\xA0\x80"), (std::u32string{r, r, r}));
  EXPECT_EQ(DecodeUtf8("\xF4\x90\x80\x80"), (std::u32string{r, r, r, r}));
  // A sequence cut short is one replacement, and decoding picks up at the byte that cut it.
  EXPECT_EQ(DecodeUtf8("\xE2\x82" "A"), (std::u32string{r, U'A'}));
  EXPECT_EQ(DecodeUtf8("\xF0\x9F\x98\xC3\xA9"), (std::u32string{r, 0xE9}));
  EXPECT_EQ(CountCodePoints("\xF0\x9F\x98\x80\xE2\x82"), 2u);

  // The end of the view is the end: a valid continuation just past it is not read.
  const char buffer[] = "\xE2\x82\xAC";
  size_t offset = 0;
  EXPECT_EQ(DecodeUtf8(std::string_view(buffer, 2), offset), r);
  EXPECT_EQ(offset, 2u);
}

class TextLayout : public testing::Test {
protected:
  void SetUp() override {
    std::string error;
    face = FontFace::Open("Arial", 14, 400, error);
    ASSERT_TRUE(face) << error;
    atlas = std::make_unique<GlyphAtlas>(*face);
  }
  std::vector<GlyphQuad> Layout(std::string_view text, TextRect rect, uint32_t format,
                                TextLayoutResult* result = nullptr) {
    std::vector<GlyphQuad> quads;
    TextLayoutResult laid = LayoutText(*atlas, text, rect, format, quads);
    if (result)
      *result = laid;
    return quads;
  }
  std::unique_ptr<FontFace> face;
  std::unique_ptr<GlyphAtlas> atlas;
};

TEST_F(TextLayout, AlignsTheBlockInItsRectangleOnWholePixels) {
  const std::string text = "Traced 42.5%";
  const TextRect rect{10, 20, 210, 60};
  const TextSize size = MeasureText(*atlas, text, 0);
  EXPECT_EQ(size.height, 14);
  TextLayoutResult result;
  const std::vector<GlyphQuad> plain = Layout(text, rect, DT_LEFT | DT_TOP, &result);
  ASSERT_EQ(plain.size(), 11u);  // one per visible glyph, none for the space
  EXPECT_EQ(result.bounds.left, 10);
  EXPECT_EQ(result.bounds.top, 20);
  EXPECT_EQ(result.bounds.right, 10 + size.width);
  for (const GlyphQuad& quad : plain) {
    EXPECT_EQ(quad.left, std::floor(quad.left));
    EXPECT_EQ(quad.top, std::floor(quad.top));
    EXPECT_TRUE(quad.top >= 20 && quad.bottom <= 34);
  }

  struct Case {
    uint32_t format;
    float dx, dy;
  };
  const float centreX = static_cast<float>((200 - size.width) / 2);
  for (const Case& c : {Case{DT_CENTER, centreX, 0}, Case{DT_RIGHT, static_cast<float>(200 - size.width), 0},
                        Case{DT_VCENTER, 0, 13}, Case{DT_BOTTOM, 0, 26},
                        Case{DT_CENTER | DT_VCENTER | DT_SINGLELINE, centreX, 13}}) {
    const std::vector<GlyphQuad> moved = Layout(text, rect, c.format, &result);
    ASSERT_EQ(moved.size(), plain.size()) << c.format;
    EXPECT_EQ(result.bounds.left, 10 + static_cast<int>(c.dx)) << c.format;
    EXPECT_EQ(result.bounds.top, 20 + static_cast<int>(c.dy)) << c.format;
    for (size_t i = 0; i < plain.size(); ++i) {
      EXPECT_EQ(moved[i].left, plain[i].left + c.dx) << c.format;
      EXPECT_EQ(moved[i].top, plain[i].top + c.dy) << c.format;
      EXPECT_EQ(moved[i].u0, plain[i].u0);
    }
  }

  // Lines stack one line height apart and align each on their own.
  const std::vector<GlyphQuad> lines = Layout("i\niii", rect, DT_RIGHT, &result);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(result.height, 28);
  EXPECT_EQ(lines[1].top, lines[0].top + 14);
  EXPECT_GT(lines[0].left, lines[1].left);
  EXPECT_NEAR(lines[0].left, lines[3].left, 1.0f);  // fractional advances round either way
  EXPECT_EQ(Layout("i\niii", rect, DT_SINGLELINE, &result).size(), 4u);
  EXPECT_EQ(result.height, 14);

  // Measuring only: the rectangle of the text, and nothing to draw.
  EXPECT_TRUE(Layout("i\niii", rect, DT_CALCRECT | DT_CENTER, &result).empty());
  EXPECT_EQ(result.bounds.left, 10);
  EXPECT_EQ(result.bounds.right, 10 + MeasureText(*atlas, "iii", 0).width);
  EXPECT_EQ(result.bounds.bottom, 20 + 28);
}

TEST_F(TextLayout, ClipsToTheRectangleCuttingTextureCoordinatesAlong) {
  const std::string text = "Weather Weather";
  const TextRect wide{0, 0, 400, 14};
  const TextRect narrow{3, 4, 40, 10};
  const std::vector<GlyphQuad> whole = Layout(text, wide, DT_NOCLIP);
  // Centred, the text overflows on both sides.
  const std::vector<GlyphQuad> unclipped = Layout(text, narrow, DT_CENTER | DT_NOCLIP);
  const std::vector<GlyphQuad> clipped = Layout(text, narrow, DT_CENTER);
  ASSERT_EQ(unclipped.size(), whole.size());
  ASSERT_FALSE(clipped.empty());
  EXPECT_LT(clipped.size(), whole.size());

  int cut = 0;
  for (const GlyphQuad& quad : clipped) {
    EXPECT_TRUE(quad.left >= 3 && quad.right <= 40 && quad.top >= 4 && quad.bottom <= 10);
    EXPECT_TRUE(quad.left < quad.right && quad.top < quad.bottom);
    // Find the glyph it was cut from: same page position, overlapping on screen.
    for (const GlyphQuad& full : unclipped) {
      if (full.left > quad.left || full.right < quad.right || full.top > quad.top || full.bottom < quad.bottom)
        continue;
      const float du = (full.u1 - full.u0) / (full.right - full.left);
      const float dv = (full.v1 - full.v0) / (full.bottom - full.top);
      if (std::fabs(full.u0 + (quad.left - full.left) * du - quad.u0) > 1e-6f)
        continue;
      EXPECT_NEAR(quad.u1, full.u0 + (quad.right - full.left) * du, 1e-6f);
      EXPECT_NEAR(quad.v0, full.v0 + (quad.top - full.top) * dv, 1e-6f);
      EXPECT_NEAR(quad.v1, full.v0 + (quad.bottom - full.top) * dv, 1e-6f);
      ++cut;
      break;
    }
  }
  EXPECT_EQ(cut, static_cast<int>(clipped.size()));
  EXPECT_EQ(clipped.front().left, 3.0f);
  EXPECT_EQ(clipped.back().right, 40.0f);
  EXPECT_TRUE(Layout(text, TextRect{0, 0, 0, 14}, 0).empty());
}

TEST_F(TextLayout, CaretPositionsAndHitTestsAgree) {
  const std::string text = "AV Tons/Step: 1000 y\xC3\xA9\xE2\x82\xAC!";
  const size_t count = CountCodePoints(text);
  ASSERT_EQ(count, 23u);
  const std::vector<GlyphQuad> quads = Layout(text, TextRect{50, 0, 500, 14}, 0);

  size_t quad = 0;
  int previous = -1;
  for (size_t i = 0; i <= count; ++i) {
    const int x = CaretX(*atlas, text, i);
    EXPECT_GT(x, previous) << i;
    previous = x;
    EXPECT_EQ(HitTest(*atlas, text, static_cast<float>(x)), i);
    EXPECT_EQ(HitTest(*atlas, text, static_cast<float>(x) + 0.4f), i);
  }
  // Each drawn glyph starts at its caret plus its bearing.
  size_t index = 0;
  for (size_t offset = 0; offset < text.size(); ++index) {
    const char32_t c = DecodeUtf8(text, offset);
    if (c == U' ')
      continue;
    ASSERT_LT(quad, quads.size());
    EXPECT_EQ(quads[quad++].left, static_cast<float>(50 + CaretX(*atlas, text, index) + atlas->Glyph(c).bearingX));
  }
  EXPECT_EQ(CaretX(*atlas, text, count), MeasureText(*atlas, text, 0).width);
  EXPECT_EQ(CaretX(*atlas, text, count + 5), CaretX(*atlas, text, count));
  EXPECT_EQ(HitTest(*atlas, text, -100.0f), 0u);
  EXPECT_EQ(HitTest(*atlas, text, 10000.0f), count);
  EXPECT_EQ(HitTest(*atlas, "", 5.0f), 0u);
}

}  // namespace
}  // namespace Platform
