// Checks the built-in control texture against the rectangles the toolkit reads it with: a
// 256 x 256 RGBA image in which every element shows something, elements keep apart, and everything
// outside them is transparent so linear filtering never pulls a neighbour in.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "framework/control_texture_layout.h"
#include "imagelib/image_decoder.h"

namespace {

using Framework::kControlTextureElements;
using Framework::kControlTextureSize;
using Framework::TextureRect;

struct Texture {
  int width = 0;
  int height = 0;
  bool rgba = false;
  std::vector<uint8_t> pixels;  // RGBA rows

  uint8_t Alpha(int x, int y) const { return pixels[(static_cast<size_t>(y) * width + x) * 4 + 3]; }
  uint32_t Pixel(int x, int y) const {
    const uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
  }
};

Texture Load() {
  std::vector<uint8_t> bytes;
  std::string error;
  ImageLib::DecodedImage image;
  Texture texture;
  if (!ImageLib::ReadImageFile(PATINEX_SOURCE_DIR "/media/ui_controls.png", bytes, error) ||
      !ImageLib::DecodeImage(ImageLib::ImageFormat::Png, bytes.data(), bytes.size(), image, error)) {
    ADD_FAILURE() << error;
    return texture;
  }
  texture.width = static_cast<int>(image.width);
  texture.height = static_cast<int>(image.height);
  texture.rgba = image.channels == 4 && image.type == ImageLib::SampleType::Byte;
  if (texture.rgba) texture.pixels = std::move(image.samples);
  return texture;
}

bool Inside(const TextureRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// True when the rectangles overlap or touch, i.e. leave no pixel between them.
bool Touch(const TextureRect& a, const TextureRect& b) {
  return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

bool Overlap(const TextureRect& a, const TextureRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool IsEditBoxPiece(const std::string& name) { return name.rfind("kEditBox", 0) == 0; }

TEST(ControlTexture, LayoutKeepsElementsInsideAndApart) {
  for (const auto& [name, r] : kControlTextureElements) {
    // One pixel of room at the texture's edges too: the UI sampler wraps.
    EXPECT_TRUE(r.left >= 1 && r.top >= 1 && r.right <= kControlTextureSize - 1 &&
                r.bottom <= kControlTextureSize - 1 && r.left < r.right && r.top < r.bottom)
        << name << " is empty or not inside the texture with a gutter";
  }
  for (const auto& [nameA, a] : kControlTextureElements) {
    for (const auto& [nameB, b] : kControlTextureElements) {
      if (&a == &b) continue;
      EXPECT_FALSE(Overlap(a, b)) << nameA << " overlaps " << nameB;
      // The edit box pieces are drawn edge to edge, so they are cut from one block.
      if (!(IsEditBoxPiece(nameA) && IsEditBoxPiece(nameB))) {
        EXPECT_FALSE(Touch(a, b)) << nameA << " and " << nameB << " have no gutter between them";
      }
    }
  }
}

TEST(ControlTexture, EditBoxPiecesFrameTheTextAreaWithTheBorderWidth) {
  using namespace Framework;
  const int b = kEditBoxBorderWidth;
  const TextureRect t = kEditBoxText;
  const TextureRect expected[] = {
      {t.left - b, t.top - b, t.left, t.top},     {t.left, t.top - b, t.right, t.top},
      {t.right, t.top - b, t.right + b, t.top},   {t.left - b, t.top, t.left, t.bottom},
      {t.right, t.top, t.right + b, t.bottom},    {t.left - b, t.bottom, t.left, t.bottom + b},
      {t.left, t.bottom, t.right, t.bottom + b},  {t.right, t.bottom, t.right + b, t.bottom + b}};
  const TextureRect pieces[] = {kEditBoxBorderTopLeft,    kEditBoxBorderTop,    kEditBoxBorderTopRight,
                                kEditBoxBorderLeft,       kEditBoxBorderRight,  kEditBoxBorderBottomLeft,
                                kEditBoxBorderBottom,     kEditBoxBorderBottomRight};
  for (int i = 0; i < 8; ++i) {
    EXPECT_TRUE(pieces[i].left == expected[i].left && pieces[i].top == expected[i].top &&
                pieces[i].right == expected[i].right && pieces[i].bottom == expected[i].bottom)
        << "border piece " << i << " does not sit against the text area";
  }
}

TEST(ControlTexture, ImageShowsEveryElementAndNothingElse) {
  const Texture texture = Load();
  ASSERT_FALSE(texture.pixels.empty());
  EXPECT_EQ(texture.width, kControlTextureSize);
  EXPECT_EQ(texture.height, kControlTextureSize);
  EXPECT_TRUE(texture.rgba) << "the file is not an RGBA image";
  ASSERT_EQ(texture.width, kControlTextureSize);
  ASSERT_EQ(texture.height, kControlTextureSize);

  for (const auto& [name, r] : kControlTextureElements) {
    int visible = 0;
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) visible += texture.Alpha(x, y) > 0;
    }
    EXPECT_GT(visible, 0) << name << " is fully transparent";
  }
  // Everything outside the elements, gutters included, must be clear.
  int strays = 0;
  for (int y = 0; y < texture.height; ++y) {
    for (int x = 0; x < texture.width; ++x) {
      bool inElement = false;
      for (const auto& element : kControlTextureElements) inElement = inElement || Inside(element.rect, x, y);
      if (!inElement && texture.Alpha(x, y) != 0 && strays++ < 5) {
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") outside every element is visible";
      }
    }
  }
  EXPECT_EQ(strays, 0);
}

// The edit box stretches its text area both ways and its side pieces along their length; any
// variation along a stretched direction would smear, so there must be none.
TEST(ControlTexture, StretchedEditBoxPiecesAreEvenAlongTheStretch) {
  using namespace Framework;
  const Texture texture = Load();
  ASSERT_EQ(texture.width, kControlTextureSize);
  ASSERT_EQ(texture.height, kControlTextureSize);
  auto evenAlong = [&](const TextureRect& r, bool alongX, bool alongY) {
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) {
        const int sourceX = alongX ? r.left : x, sourceY = alongY ? r.top : y;
        if (texture.Pixel(x, y) != texture.Pixel(sourceX, sourceY)) return false;
      }
    }
    return true;
  };
  EXPECT_TRUE(evenAlong(kEditBoxText, true, true));
  EXPECT_TRUE(evenAlong(kEditBoxBorderTop, true, false));
  EXPECT_TRUE(evenAlong(kEditBoxBorderBottom, true, false));
  EXPECT_TRUE(evenAlong(kEditBoxBorderLeft, false, true));
  EXPECT_TRUE(evenAlong(kEditBoxBorderRight, false, true));
}

}  // namespace
