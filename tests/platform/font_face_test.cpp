#include "platform/font_face.h"
#include "platform/glyph_atlas.h"
#include "platform/text_layout.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace Platform {
namespace {

std::unique_ptr<FontFace> OpenOrFail(const std::string& name, int height, int weight) {
  std::string error;
  std::unique_ptr<FontFace> face = FontFace::Open(name, height, weight, error);
  EXPECT_TRUE(face) << error;
  return face;
}

TEST(FontFace, FindsAFaceForAnyNameAndFillsTheCellHeight) {
  std::unique_ptr<FontFace> arial = OpenOrFail("Arial", 14, 400);
  std::unique_ptr<FontFace> nonsense = OpenOrFail("Qwzx Not A Font 123", 14, 400);
  ASSERT_TRUE(arial && nonsense);
  for (const FontFace* face : {arial.get(), nonsense.get()}) {
    EXPECT_FALSE(face->FamilyName().empty());
    EXPECT_TRUE(std::filesystem::is_regular_file(face->FilePath())) << face->FilePath();
    EXPECT_EQ(face->Metrics().ascent + face->Metrics().descent, 14);
    EXPECT_EQ(face->Metrics().lineHeight, 14);
    EXPECT_GT(face->Metrics().ascent, face->Metrics().descent);
    EXPECT_NE(face->GlyphIndex(U'A'), 0u);
  }

  std::string error;
  EXPECT_FALSE(FontFace::Open("Arial", 0, 400, error));
  EXPECT_NE(error.find("height 0"), std::string::npos) << error;
  // A negative height asks for the em size, so the cell comes out taller than it.
  std::unique_ptr<FontFace> em = OpenOrFail("Arial", -14, 400);
  ASSERT_TRUE(em);
  EXPECT_GT(em->Metrics().lineHeight, 14);
}

TEST(FontFace, BoldTextIsWiderThanRegular) {
  std::unique_ptr<FontFace> regular = OpenOrFail("Arial", 14, 400);
  std::unique_ptr<FontFace> bold = OpenOrFail("Arial", 14, 700);
  ASSERT_TRUE(regular && bold);
  GlyphAtlas regularAtlas(*regular), boldAtlas(*bold);
  const char* text = "Weather  Tons/Step: 1000";
  EXPECT_GT(MeasureText(boldAtlas, text, 0).width, MeasureText(regularAtlas, text, 0).width);
}

TEST(FontFace, KernedPairsAreNarrowerThanTheirAdvances) {
  std::unique_ptr<FontFace> face = OpenOrFail("Arial", 48, 400);
  ASSERT_TRUE(face);
  if (!face->HasKerning())
    GTEST_SKIP() << face->FamilyName() << " has no kerning table";
  GlyphAtlas atlas(*face);
  const float advances = atlas.Glyph(U'A').advance + atlas.Glyph(U'V').advance;
  EXPECT_LT(face->Kerning(atlas.Glyph(U'A').glyphIndex, atlas.Glyph(U'V').glyphIndex), 0.0f);
  EXPECT_LT(MeasureText(atlas, "AV", 0).width, static_cast<int>(advances) - 1);
  // The caret before V sits where the kerned V is drawn.
  EXPECT_LT(CaretX(atlas, "AV", 1), static_cast<int>(atlas.Glyph(U'A').advance));
}

TEST(GlyphAtlas, PacksGlyphsApartInsideItsPagesAndReportsWhatChanged) {
  std::unique_ptr<FontFace> face = OpenOrFail("Arial", 14, 400);
  ASSERT_TRUE(face);
  GlyphAtlas atlas(*face, 64);  // small pages, so the Latin range spills over several
  ASSERT_EQ(atlas.PageSize(), 64);
  EXPECT_FALSE(atlas.IsDirty());

  const AtlasGlyph& a = atlas.Glyph(U'A');
  EXPECT_EQ(&atlas.Glyph(U'A'), &a);
  ASSERT_GT(a.rect.width, 0);
  const AtlasRect dirty = atlas.DirtyRect(a.page);
  EXPECT_TRUE(atlas.IsDirty());
  EXPECT_TRUE(dirty.x <= a.rect.x && dirty.y <= a.rect.y && dirty.x + dirty.width >= a.rect.x + a.rect.width &&
              dirty.y + dirty.height >= a.rect.y + a.rect.height);
  atlas.ClearDirty();
  EXPECT_FALSE(atlas.IsDirty());
  atlas.Glyph(U'A');
  EXPECT_FALSE(atlas.IsDirty()) << "a glyph already there changes nothing";

  // Every glyph lies inside its page with ink inside its rectangle and a blank border of one
  // pixel around it, which also means no two glyphs overlap.
  int inked = 0;
  for (char32_t c = 0x21; c < 0x250; ++c) {
    const AtlasGlyph& glyph = atlas.Glyph(c);
    EXPECT_GT(glyph.advance, 0.0f) << static_cast<uint32_t>(c);
    if (glyph.rect.width == 0)
      continue;
    ++inked;
    const AtlasRect& r = glyph.rect;
    ASSERT_TRUE(glyph.page >= 0 && glyph.page < atlas.PageCount());
    ASSERT_TRUE(r.x >= 1 && r.y >= 1 && r.x + r.width < atlas.PageSize() && r.y + r.height < atlas.PageSize())
        << static_cast<uint32_t>(c);
    const uint8_t* pixels = atlas.PagePixels(glyph.page);
    const auto at = [&](int x, int y) { return pixels[y * atlas.PageSize() + x]; };
    int ink = 0;
    for (int y = r.y; y < r.y + r.height; ++y)
      for (int x = r.x; x < r.x + r.width; ++x)
        ink += at(x, y);
    EXPECT_GT(ink, 0) << static_cast<uint32_t>(c);
    for (int x = r.x - 1; x <= r.x + r.width; ++x)
      EXPECT_EQ(at(x, r.y - 1) + at(x, r.y + r.height), 0) << static_cast<uint32_t>(c);
    for (int y = r.y; y < r.y + r.height; ++y)
      EXPECT_EQ(at(r.x - 1, y) + at(r.x + r.width, y), 0) << static_cast<uint32_t>(c);
  }
  EXPECT_GT(inked, 400);
  EXPECT_GT(atlas.PageCount(), 3);

  // A code point the face lacks draws as its .notdef box or '?', never as nothing.
  const AtlasGlyph& missing = atlas.Glyph(0xE123);
  EXPECT_GT(missing.rect.width, 0);
  EXPECT_GT(missing.advance, 0.0f);
  EXPECT_EQ(atlas.Glyph(U' ').rect.width, 0);
  EXPECT_GT(atlas.Glyph(U' ').advance, 0.0f);
}

}  // namespace
}  // namespace Platform
