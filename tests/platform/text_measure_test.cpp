// Text measures against FreeType's own advance widths and kerning for the same face and size.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "platform/font_face.h"
#include "platform/glyph_atlas.h"
#include "platform/text_layout.h"

namespace Platform {
namespace {

// Sum of the unhinted advances plus the kerning of each pair, as FreeType gives them.
double FreeTypeWidth(const std::string& path, int cellHeight, const std::string& text) {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  EXPECT_EQ(FT_Init_FreeType(&library), 0);
  EXPECT_EQ(FT_New_Face(library, path.c_str(), 0, &face), 0);
  FT_Size_RequestRec request{};
  request.type = FT_SIZE_REQUEST_TYPE_CELL;
  request.height = cellHeight * 64;
  EXPECT_EQ(FT_Request_Size(face, &request), 0);
  double width = 0.0;
  FT_UInt previous = 0;
  for (unsigned char c : text) {
    const FT_UInt glyph = FT_Get_Char_Index(face, c);
    if (previous && FT_HAS_KERNING(face)) {
      FT_Vector delta{};
      FT_Get_Kerning(face, previous, glyph, FT_KERNING_UNFITTED, &delta);
      width += delta.x / 64.0;
    }
    EXPECT_EQ(FT_Load_Glyph(face, glyph, FT_LOAD_TARGET_LIGHT), 0);
    width += face->glyph->linearHoriAdvance / 65536.0;
    previous = glyph;
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return width;
}

TEST(TextMeasure, WidthIsTheSumOfFreeTypeAdvancesAndKerning) {
  for (int height : {14, 20}) {
    std::string error;
    std::unique_ptr<FontFace> face = FontFace::Open("Arial", height, 400, error);
    ASSERT_TRUE(face) << error;
    GlyphAtlas atlas(*face);
    for (const std::string text : {"Weather", "AVATAR To Yo", "Tons/Step 100000", "iiiiiiiiiiiiiiiiiiii"}) {
      const double expected = FreeTypeWidth(face->FilePath(), height, text);
      const int measured = MeasureText(atlas, text, DT_SINGLELINE).width;
      EXPECT_LE(std::abs(measured - expected), 1.0) << "\"" << text << "\" at " << height << " pixels";
    }
  }
}

}  // namespace
}  // namespace Platform
