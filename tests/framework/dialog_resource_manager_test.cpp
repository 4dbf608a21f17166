#include "framework/dialog_resource_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/control_texture_layout.h"
#include "framework/device_font.h"
#include "imagelib/image_decoder.h"
#include "platform/text_layout.h"
#include "tests/framework/ui_test_device.h"

namespace {

UIRect ToUIRect(const Framework::TextureRect& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

TEST(DialogResourceManager, FontsAreReusedBySizeWeightAndFacePrefix) {
  DialogResourceManager manager;
  const int arial = manager.AddFont("Arial", 14, 400);
  ASSERT_EQ(arial, 0);
  EXPECT_EQ(manager.AddFont("Arial", 14, 400), arial);
  EXPECT_EQ(manager.AddFont("aR", 14, 400), arial);          // a prefix, any case
  EXPECT_EQ(manager.AddFont("Arial Black", 14, 400), 1);     // longer than the existing face
  EXPECT_EQ(manager.AddFont("Arial", 14, 700), 2);           // another weight
  EXPECT_EQ(manager.AddFont("Arial", 16, 400), 3);           // another height
  EXPECT_EQ(manager.AddFont("Arial", 0, 400), -1);
  EXPECT_EQ(manager.GetFontNode(2)->weight, 700);
  EXPECT_EQ(manager.GetFontNode(2)->font, nullptr);  // no device yet
  EXPECT_EQ(manager.GetFontNode(4), nullptr);

  const std::string longFace(300, 'x');
  EXPECT_EQ(manager.GetFontNode(manager.AddFont(longFace, 10, 400))->face.size(), 260u);
}

TEST(DialogResourceManager, WithoutDeviceDrawingIsHarmlessAndRegistrationKeepsOrder) {
  DialogResourceManager manager;
  const int font = manager.AddFont("Arial", 14, 400);
  const int texture = manager.AddTexture(kControlTextureResource);
  EXPECT_EQ(manager.AddTexture(kControlTextureResource), texture);
  EXPECT_EQ(manager.GetTextureNode(texture)->view, nullptr);

  const ColorF corners[4] = {ToColorF(0xFFFF0000), {}, {}, {}};
  manager.DrawUntexturedQuad({0, 0, 10, 10}, corners);
  manager.BeginSprites(texture);
  manager.DrawSprite(texture, {0, 0, 8, 8}, {0, 0, 8, 8}, 0.8f, ToColorF(0xFFFFFFFF));
  manager.DrawText(font, "text", {0, 0, 50, 20}, 0, ToColorF(0xFFFFFFFF), true);
  manager.DrawSprite(7, {0, 0, 8, 8}, {0, 0, 8, 8}, 0.8f, {});
  manager.DrawText(-1, "text", {0, 0, 50, 20}, 0, {}, false);
  manager.EndSprites();
  EXPECT_EQ(manager.TextWidth(font, "text"), 0);
  EXPECT_FALSE(manager.HandleEvent(nullptr, Platform::WindowEvent::Key(Platform::EventType::KeyDown, 0)));

  auto* first = reinterpret_cast<Dialog*>(0x10);
  auto* second = reinterpret_cast<Dialog*>(0x20);
  EXPECT_TRUE(manager.RegisterDialog(second));
  EXPECT_TRUE(manager.RegisterDialog(first));
  EXPECT_TRUE(manager.RegisterDialog(second));
  EXPECT_EQ(manager.Dialogs(), (std::vector<Dialog*>{second, first}));
  manager.UnregisterDialog(second);
  EXPECT_EQ(manager.Dialogs(), std::vector<Dialog*>{first});

  const ColorF color = ToColorF(0x80FF4000);
  EXPECT_FLOAT_EQ(color.a, 128 / 255.0f);
  EXPECT_FLOAT_EQ(color.r, 1.0f);
  EXPECT_FLOAT_EQ(color.g, 64 / 255.0f);
  EXPECT_FLOAT_EQ(color.b, 0.0f);
}

class DialogResourceManagerDevice : public UITestDevice {};

TEST_F(DialogResourceManagerDevice, DeviceCreationMakesFontsTexturesAndLaterAdditions) {
  const int font = manager.AddFont("Arial", 14, 400);
  const int texture = manager.AddTexture(kControlTextureResource);
  StartManager();
  ASSERT_NE(manager.GetFontNode(font)->font, nullptr);
  const TextureNode* node = manager.GetTextureNode(texture);
  ASSERT_NE(node->view, nullptr);
  EXPECT_EQ(node->width, 256u);
  EXPECT_EQ(node->height, 256u);
  EXPECT_GT(manager.TextWidth(font, "Wide text"), manager.TextWidth(font, "W"));

  const int bold = manager.AddFont("Arial", 14, 700);
  EXPECT_NE(manager.GetFontNode(bold)->font, nullptr);
  const int missing = manager.AddTexture("no such texture.png");
  EXPECT_EQ(manager.GetTextureNode(missing)->view, nullptr);
  manager.BeginSprites(missing);
  manager.DrawSprite(missing, {0, 0, 8, 8}, {0, 0, 8, 8}, 0.8f, ToColorF(0xFFFFFFFF));
  manager.EndSprites();

  const double before = manager.RefreshTime();
  manager.OnSwapChainReleasing();
  manager.OnDeviceDestroyed();
  EXPECT_EQ(manager.GetFontNode(font)->font, nullptr);
  EXPECT_EQ(manager.GetTextureNode(texture)->view, nullptr);
  StartManager();
  EXPECT_GT(manager.RefreshTime(), before);
  EXPECT_NE(manager.GetTextureNode(texture)->view, nullptr);
}

TEST_F(DialogResourceManagerDevice, UntexturedQuadFillsItsRectangleWithTheCornerColours) {
  StartManager();
  Clear(0, 0, 0, 1);
  const ColorF corners[4] = {ToColorF(0xFFFF0000), ToColorF(0xFF00FF00), ToColorF(0xFF0000FF),
                             ToColorF(0xFFFFFFFF)};
  manager.DrawUntexturedQuad({40, 20, 200, 100}, corners);
  const std::vector<float> pixels = ReadAll();
  const struct {
    int x, y;
    float r, g, b;
  } probes[] = {{40, 20, 1, 0, 0},    {199, 20, 0, 1, 0}, {40, 99, 0, 0, 1},  {199, 99, 1, 1, 1},
                {39, 50, 0, 0, 0},    {200, 50, 0, 0, 0}, {100, 19, 0, 0, 0}, {100, 100, 0, 0, 0}};
  for (const auto& probe : probes) {
    const float* p = At(pixels, probe.x, probe.y);
    EXPECT_NEAR(p[0], probe.r, 0.03f) << probe.x << ", " << probe.y;
    EXPECT_NEAR(p[1], probe.g, 0.03f) << probe.x << ", " << probe.y;
    EXPECT_NEAR(p[2], probe.b, 0.03f) << probe.x << ", " << probe.y;
  }
}

TEST_F(DialogResourceManagerDevice, ControlTextureSpriteShowsTheElementsPixels) {
  const int texture = manager.AddTexture(kControlTextureResource);
  StartManager();
  std::vector<uint8_t> file;
  std::string error;
  ASSERT_TRUE(ImageLib::ReadImageFile(PATINEX_SOURCE_DIR "/media/ui_controls.png", file, error)) << error;
  ImageLib::DecodedImage image;
  ASSERT_TRUE(ImageLib::DecodeImage(file.data(), file.size(), image, error)) << error;
  ASSERT_EQ(image.channels, 4u);

  Clear(0, 0, 0, 1);
  const Framework::TextureRect element = Framework::kCheckBoxBox;
  const int x0 = 30, y0 = 40;
  const UIRect screen{x0, y0, x0 + element.right - element.left, y0 + element.bottom - element.top};
  manager.BeginSprites(texture);
  manager.DrawSprite(texture, ToUIRect(element), screen, 0.8f, ToColorF(0xFFFFFFFF));
  manager.EndSprites();

  const std::vector<float> pixels = ReadAll();
  int opaque = 0;
  for (int y = 0; y < screen.Height(); ++y) {
    for (int x = 0; x < screen.Width(); ++x) {
      const uint8_t* texel = &image.samples[((element.top + y) * image.width + element.left + x) * 4];
      const float alpha = texel[3] / 255.0f;
      const float* p = At(pixels, x0 + x, y0 + y);
      for (int c = 0; c < 3; ++c) ASSERT_NEAR(p[c], texel[c] / 255.0f * alpha, 0.02f) << x << ", " << y;
      opaque += texel[3] > 128;
    }
  }
  EXPECT_GT(opaque, 0);
  EXPECT_EQ(At(pixels, x0 - 1, y0)[0], 0.0f);
}

TEST_F(DialogResourceManagerDevice, TextLandsWhereLayoutPutsItAndItsShadowOneLower) {
  const int font = manager.AddFont("Arial", 20, 700);
  StartManager();
  const UIRect rect{20, 10, 236, 118};
  const std::string text = "Patina";
  const uint32_t format = Platform::DT_CENTER | Platform::DT_VCENTER;
  std::vector<Platform::GlyphQuad> quads;
  Platform::LayoutText(manager.GetFontNode(font)->font->Atlas(), text, {rect.left, rect.top, rect.right, rect.bottom},
                       format, quads);
  ASSERT_EQ(quads.size(), text.size());
  float left = 1e9f, top = 1e9f, right = -1e9f, bottom = -1e9f;
  for (const auto& quad : quads) {
    left = std::min(left, quad.left);
    top = std::min(top, quad.top);
    right = std::max(right, quad.right);
    bottom = std::max(bottom, quad.bottom);
  }
  auto inside = [&](int x, int y, int offset) {
    for (const auto& quad : quads) {
      if (x >= quad.left + offset && x < quad.right + offset && y >= quad.top + offset && y < quad.bottom + offset) {
        return true;
      }
    }
    return false;
  };

  const float grey = 0.5f;
  for (const bool shadow : {false, true}) {
    Clear(grey, grey, grey, 1);
    manager.BeginSprites(0);
    manager.DrawText(font, text, rect, format, ToColorF(0xFFFFFFFF), shadow);
    manager.EndSprites();
    const std::vector<float> pixels = ReadAll();
    int lit = 0, dark = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const float value = At(pixels, x, y)[0];
        if (value > grey + 0.01f) {
          ASSERT_TRUE(inside(x, y, 0)) << "text outside its glyphs at " << x << ", " << y;
          ++lit;
        } else if (value < grey - 0.01f) {
          ASSERT_TRUE(shadow) << "dark pixel without shadow at " << x << ", " << y;
          ASSERT_TRUE(inside(x, y, 1)) << "shadow outside the moved glyphs at " << x << ", " << y;
          ++dark;
        }
      }
    }
    EXPECT_GT(lit, 50);
    if (shadow) {
      EXPECT_GT(dark, 20);
    }
  }
  EXPECT_GT(right - left, 30.0f);
  EXPECT_GT(bottom - top, 8.0f);
}

}  // namespace
