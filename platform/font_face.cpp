#include "platform/font_face.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace Platform {
namespace {

struct FontFile {
  std::string path;
  int index = 0;
  std::string family;
  bool embolden = false;  // fontconfig asks for synthetic bold when the family has no bold face
};

std::string FreeTypeErrorText(FT_Error code) {
  const char* text = FT_Error_String(code);  // null unless FreeType was built with error strings
  return text ? text : "FreeType error " + std::to_string(code);
}

std::string PatternString(FcPattern* pattern, const char* object) {
  FcChar8* value = nullptr;
  return FcPatternGetString(pattern, object, 0, &value) == FcResultMatch ? reinterpret_cast<const char*>(value) : "";
}

FontFile FileOf(FcPattern* pattern) {
  FontFile file;
  file.path = PatternString(pattern, FC_FILE);
  file.family = PatternString(pattern, FC_FAMILY);
  FcPatternGetInteger(pattern, FC_INDEX, 0, &file.index);
  FcBool embolden = FcFalse;
  if (FcPatternGetBool(pattern, FC_EMBOLDEN, 0, &embolden) == FcResultMatch)
    file.embolden = embolden == FcTrue;
  return file;
}

// fontconfig's best scalable match for a family at a weight; it answers with its default
// family when it knows nothing of the name, so this fails only when there are no fonts at all.
bool MatchFamily(const std::string& family, int weight, int pixelHeight, FontFile& file) {
  FcPattern* pattern = FcPatternCreate();
  if (!pattern)
    return false;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcPatternAddDouble(pattern, FC_PIXEL_SIZE, std::abs(pixelHeight));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match)
    return false;
  file = FileOf(match);
  FcPatternDestroy(match);
  return !file.path.empty();
}

// Every scalable font fontconfig knows, for when even the matches above cannot be opened.
std::vector<FontFile> AllOutlineFonts() {
  std::vector<FontFile> files;
  FcPattern* pattern = FcPatternBuild(nullptr, FC_OUTLINE, FcTypeBool, FcTrue, nullptr);
  FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, nullptr);
  FcFontSet* set = pattern && objects ? FcFontList(nullptr, pattern, objects) : nullptr;
  if (set) {
    for (int i = 0; i < set->nfont; ++i)
      files.push_back(FileOf(set->fonts[i]));
    FcFontSetDestroy(set);
  }
  if (objects)
    FcObjectSetDestroy(objects);
  if (pattern)
    FcPatternDestroy(pattern);
  return files;
}

}  // namespace

std::unique_ptr<FontFace> FontFace::Open(const std::string& faceName, int pixelHeight, int weight, std::string& error) {
  if (pixelHeight == 0) {
    error = "font \"" + faceName + "\": height 0 gives no size to draw at";
    return nullptr;
  }
  if (weight <= 0)
    weight = 400;
  weight = std::clamp(weight, 1, 1000);
  if (!FcInit()) {
    error = "font \"" + faceName + "\": fontconfig could not load its configuration";
    return nullptr;
  }

  std::unique_ptr<FontFace> font(new FontFace());
  font->weight = weight;
  if (FT_Error code = FT_Init_FreeType(&font->library)) {
    font->library = nullptr;
    error = "font \"" + faceName + "\": FreeType did not start: " + FreeTypeErrorText(code);
    return nullptr;
  }

  std::vector<FontFile> candidates;
  FontFile file;
  if (!faceName.empty() && MatchFamily(faceName, weight, pixelHeight, file))
    candidates.push_back(file);
  if (MatchFamily("sans-serif", weight, pixelHeight, file))
    candidates.push_back(file);
  std::string lastFailure;
  for (bool listed = false;; listed = true) {
    for (const FontFile& candidate : candidates) {
      FT_Face opened = nullptr;
      if (FT_Error code = FT_New_Face(font->library, candidate.path.c_str(), candidate.index, &opened)) {
        lastFailure = candidate.path + ": " + FreeTypeErrorText(code);
        continue;
      }
      if (!FT_IS_SCALABLE(opened)) {
        lastFailure = candidate.path + ": not a scalable font";
        FT_Done_Face(opened);
        continue;
      }
      font->face = opened;
      font->path = candidate.path;
      font->family = candidate.family;
      font->embolden = candidate.embolden;
      break;
    }
    if (font->face || listed)
      break;
    candidates = AllOutlineFonts();
  }
  if (!font->face) {
    error = "font \"" + faceName + "\": no usable font on this system (" +
            (lastFailure.empty() ? "fontconfig knows no scalable font" : "the last one tried, " + lastFailure) +
            "); install fonts-liberation or fonts-dejavu-core";
    return nullptr;
  }

  FT_Face face = font->face;
  // A positive height is the classic cell height: the face's ascender plus descender fill it,
  // which for Arial (and Liberation Sans) gives an em of about 0.89 of the height.
  FT_Size_RequestRec request{};
  request.type = pixelHeight > 0 ? FT_SIZE_REQUEST_TYPE_CELL : FT_SIZE_REQUEST_TYPE_NOMINAL;
  request.height = static_cast<FT_Long>(std::abs(pixelHeight)) * 64;
  if (FT_Error code = FT_Request_Size(face, &request)) {
    error = "font \"" + faceName + "\" (" + font->path + "): cannot size it to " + std::to_string(pixelHeight) +
            " pixels: " + FreeTypeErrorText(code);
    return nullptr;
  }
  // Unrounded ascender and descender at this size; FreeType's own size metrics round each
  // outwards, which would make the cell a pixel taller than asked.
  const double ascender = FT_MulFix(face->ascender, face->size->metrics.y_scale) / 64.0;
  const double descender = -FT_MulFix(face->descender, face->size->metrics.y_scale) / 64.0;
  font->metrics.ascent = static_cast<int>(std::lround(ascender));
  if (pixelHeight > 0) {
    font->metrics.descent = pixelHeight - font->metrics.ascent;
    font->metrics.lineHeight = pixelHeight;
  } else {
    font->metrics.descent = static_cast<int>(std::lround(descender));
    font->metrics.lineHeight = font->metrics.ascent + font->metrics.descent;
  }
  return font;
}

FontFace::~FontFace() {
  if (face)
    FT_Done_Face(face);
  if (library)
    FT_Done_FreeType(library);
}

uint32_t FontFace::GlyphIndex(char32_t codePoint) const {
  return FT_Get_Char_Index(face, codePoint);
}

bool FontFace::HasKerning() const {
  return FT_HAS_KERNING(face);
}

float FontFace::Kerning(uint32_t leftGlyph, uint32_t rightGlyph) const {
  if (!FT_HAS_KERNING(face) || leftGlyph == 0 || rightGlyph == 0)
    return 0.0f;
  FT_Vector delta{};
  // Unfitted: the pen moves in fractions of a pixel and only glyph origins are snapped.
  if (FT_Get_Kerning(face, leftGlyph, rightGlyph, FT_KERNING_UNFITTED, &delta))
    return 0.0f;
  return static_cast<float>(delta.x) / 64.0f;
}

bool FontFace::RenderGlyph(uint32_t glyphIndex, GlyphBitmap& bitmap, std::string& error) {
  // Light hinting snaps stems to the pixel grid vertically only, so advances keep their design
  // widths and text keeps its even spacing.
  if (FT_Error code = FT_Load_Glyph(face, glyphIndex, FT_LOAD_TARGET_LIGHT)) {
    error = family + ": glyph " + std::to_string(glyphIndex) + " does not load: " + FreeTypeErrorText(code);
    return false;
  }
  FT_GlyphSlot slot = face->glyph;
  float advance = static_cast<float>(slot->linearHoriAdvance) / 65536.0f;
  if (embolden && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    const FT_Pos before = slot->advance.x;
    FT_GlyphSlot_Embolden(slot);
    advance += static_cast<float>(slot->advance.x - before) / 64.0f;
  }
  if (FT_Error code = FT_Render_Glyph(slot, FT_RENDER_MODE_LIGHT)) {
    error = family + ": glyph " + std::to_string(glyphIndex) + " does not render: " + FreeTypeErrorText(code);
    return false;
  }
  const FT_Bitmap& rendered = slot->bitmap;
  if (rendered.pixel_mode != FT_PIXEL_MODE_GRAY && rendered.rows > 0 && rendered.width > 0) {
    error = family + ": glyph " + std::to_string(glyphIndex) + " rendered in an unexpected pixel mode";
    return false;
  }
  bitmap.width = static_cast<int>(rendered.width);
  bitmap.height = static_cast<int>(rendered.rows);
  bitmap.pitch = rendered.pitch;
  bitmap.pixels = rendered.buffer;
  // A negative pitch means the rows run bottom-up; start from the top row instead.
  if (bitmap.pitch < 0 && bitmap.pixels && bitmap.height > 0)
    bitmap.pixels -= static_cast<ptrdiff_t>(bitmap.pitch) * (bitmap.height - 1);
  bitmap.bearingX = slot->bitmap_left;
  bitmap.bearingY = slot->bitmap_top;
  bitmap.advance = advance;
  return true;
}

}  // namespace Platform
