#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct FT_LibraryRec_;
struct FT_FaceRec_;

// One scalable font at one pixel size, found through fontconfig and rasterised with FreeType.
// Not thread-safe: each face belongs to the thread that draws the GUI.
namespace Platform {

struct FontMetrics {
  int ascent = 0;      // pixels from the top of the cell to the baseline
  int descent = 0;     // pixels from the baseline to the bottom of the cell
  int lineHeight = 0;  // distance between baselines of successive lines
};

// A rendered glyph. The pixels (8-bit coverage, `pitch` bytes per row, top row first) belong to
// the face and stay valid until its next RenderGlyph call.
struct GlyphBitmap {
  int width = 0;
  int height = 0;
  int pitch = 0;
  const uint8_t* pixels = nullptr;
  int bearingX = 0;     // from the pen position to the bitmap's left edge
  int bearingY = 0;     // from the baseline up to the bitmap's top edge
  float advance = 0.0f; // pen movement in pixels, unrounded
};

class FontFace {
public:
  // Finds the face closest to `faceName` (a family such as "Arial"; metric-compatible faces
  // stand in for it) at `weight` on the 100..900 scale (400 regular, 700 bold; 0 means regular).
  // A positive `pixelHeight` is the cell height (ascent + descent), a negative one the em size.
  // A missing family falls back to any sans face, then to any scalable font at all; only when
  // there is none, or the height is 0, does it return null and say why in `error`.
  static std::unique_ptr<FontFace> Open(const std::string& faceName, int pixelHeight, int weight, std::string& error);

  ~FontFace();
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  const std::string& FamilyName() const { return family; }
  const std::string& FilePath() const { return path; }
  int Weight() const { return weight; }
  const FontMetrics& Metrics() const { return metrics; }

  // The face's glyph for a code point, or 0 (.notdef) when it has none.
  uint32_t GlyphIndex(char32_t codePoint) const;
  bool HasKerning() const;
  // Horizontal adjustment in pixels (usually negative) between two glyphs drawn side by side.
  float Kerning(uint32_t leftGlyph, uint32_t rightGlyph) const;
  // Rasterises a glyph: hinted lightly, anti-aliased. False (with `error`) if FreeType fails.
  bool RenderGlyph(uint32_t glyphIndex, GlyphBitmap& bitmap, std::string& error);

private:
  FontFace() = default;

  FT_LibraryRec_* library = nullptr;  // one per face, so faces never share FreeType state
  FT_FaceRec_* face = nullptr;
  std::string family;
  std::string path;
  int weight = 400;
  bool embolden = false;
  FontMetrics metrics;
};

}  // namespace Platform
