#include "framework/sprite_batch.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/ui_effect_source.h"
#include "tests/framework/ui_test_device.h"

namespace {

class SpriteBatchTest : public UITestDevice {
protected:
  void SetUp() override {
    UITestDevice::SetUp();
    if (HasFatalFailure()) return;
    std::string errors;
    ASSERT_EQ(Platform::CreateEffectFromMemory(device.get(), std::string(kUIEffectSource), kUIEffectName, &effect,
                                               &errors),
              Platform::kOk)
        << errors;
    pass = effect->TechniqueByName("RenderUI")->PassByIndex(0);
    ASSERT_EQ(device->CreateInputLayout(kUIVertexElements, 3, pass->Signature(), &layout), Platform::kOk);
    // Texel 0 opaque red, texel 1 opaque green, texel 2 opaque blue, texel 3 clear.
    const uint8_t texels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 0, 0, 0, 0};
    ASSERT_EQ(device->CreateDynamicTexture(4, 1, Platform::TextureChannels::Rgba, &palette), Platform::kOk);
    ASSERT_EQ(device->UpdateTexture(palette.get(), 0, 0, 4, 1, texels, 16), Platform::kOk);
    ASSERT_EQ(device->CreateDynamicTexture(4, 1, Platform::TextureChannels::Rgba, &other), Platform::kOk);
  }
  void TearDown() override {
    batch.reset();
    palette.reset();
    other.reset();
    layout.reset();
    effect.reset();
    UITestDevice::TearDown();
  }

  // A sprite over a screen rectangle showing one texel of the palette.
  static Sprite Solid(int texel, float left, float top, float right, float bottom, float depth) {
    const float u = (texel + 0.5f) / 4.0f;
    return {left, top, right, bottom, depth, u, 0.5f, u, 0.5f, {1, 1, 1, 1}};
  }

  std::unique_ptr<Platform::Effect> effect;
  Platform::EffectPass* pass = nullptr;
  std::unique_ptr<Platform::InputLayout> layout;
  std::unique_ptr<Platform::ShaderResourceView> palette;
  std::unique_ptr<Platform::ShaderResourceView> other;
  std::unique_ptr<SpriteBatch> batch;
};

TEST_F(SpriteBatchTest, EffectHasTheUITechniquesAndTextureVariable) {
  for (const char* name : {"RenderUI", "RenderUIUntex", "RestoreState"}) {
    Platform::EffectTechnique* technique = effect->TechniqueByName(name);
    EXPECT_TRUE(technique->IsValid()) << name;
    EXPECT_EQ(technique->PassCount(), 1u) << name;
  }
  EXPECT_TRUE(effect->VariableByName("g_Texture")->IsValid());
  EXPECT_EQ(pass->Signature().size(), 3u);
}

TEST_F(SpriteBatchTest, NearerSpritesCoverFartherOnesWhateverTheOrderDrawn) {
  ASSERT_EQ(SpriteBatch::Create(device.get(), layout.get(), 16, kWidth, kHeight, &batch), Platform::kOk);
  Clear(0, 0, 0, 1);
  batch->Begin(pass, effect->VariableByName("g_Texture"));
  batch->Draw(palette.get(), Solid(1, 20, 20, 100, 100, 0.6f));  // green, the nearest
  batch->Draw(palette.get(), Solid(0, 60, 60, 140, 120, 0.8f));  // red, under green
  batch->Draw(palette.get(), Solid(2, 0, 0, 40, 40, 0.99f));     // blue, under both
  batch->Draw(palette.get(), Solid(3, 0, 0, 256, 128, 0.1f));    // clear: blends to nothing
  batch->End();
  const std::vector<float> pixels = ReadAll();
  auto expect = [&](int x, int y, float r, float g, float b) {
    const float* p = At(pixels, x, y);
    EXPECT_NEAR(p[0], r, 0.01f) << x << ", " << y;
    EXPECT_NEAR(p[1], g, 0.01f) << x << ", " << y;
    EXPECT_NEAR(p[2], b, 0.01f) << x << ", " << y;
  };
  expect(30, 30, 0, 1, 0);    // green over blue
  expect(10, 10, 0, 0, 1);    // blue alone, top-left is the screen's top-left
  expect(80, 80, 0, 1, 0);    // green over red
  expect(120, 110, 1, 0, 0);  // red alone
  expect(139, 119, 1, 0, 0);  // last pixel of the red rectangle
  expect(140, 110, 0, 0, 0);  // right edge exclusive
  expect(200, 10, 0, 0, 0);
  EXPECT_EQ(batch->DrawCount(), 1u);
}

TEST_F(SpriteBatchTest, FillsOncePerFlushAndDrawsOneRunPerTextureInOrder) {
  ASSERT_EQ(SpriteBatch::Create(device.get(), layout.get(), 4, kWidth, kHeight, &batch), Platform::kOk);
  Clear(0, 0, 0, 1);
  batch->Begin(pass, effect->VariableByName("g_Texture"));
  for (int i = 0; i < 5; ++i) batch->Draw(palette.get(), Solid(0, i * 10.0f, 0, i * 10.0f + 10, 10, 0.5f));
  EXPECT_EQ(batch->DrawCount(), 1u);  // full: the first four drawn
  EXPECT_EQ(batch->FillCount(), 1u);
  batch->Draw(other.get(), Solid(0, 0, 20, 10, 30, 0.5f));
  batch->Draw(palette.get(), Solid(1, 0, 40, 10, 50, 0.5f));
  EXPECT_EQ(batch->DrawCount(), 1u);  // held until the end
  batch->End();
  EXPECT_EQ(batch->DrawCount(), 4u);  // the fifth, the other texture, the palette again
  EXPECT_EQ(batch->FillCount(), 2u);
  const std::vector<float> pixels = ReadAll();
  EXPECT_NEAR(At(pixels, 45, 5)[0], 1.0f, 0.01f);  // the sprite that overflowed was drawn
  EXPECT_NEAR(At(pixels, 5, 25)[0], 0.0f, 0.01f);  // the zeroed texture shows nothing
  EXPECT_NEAR(At(pixels, 5, 45)[1], 1.0f, 0.01f);

  // Depth orders a run only: a later run covers an earlier one even when it lies farther away.
  // A transparent quad is dropped, so it neither draws nor splits a run.
  Clear(0, 0, 0, 1);
  batch->Begin(pass, effect->VariableByName("g_Texture"));
  batch->Draw(palette.get(), Solid(1, 0, 0, 40, 40, 0.2f));
  batch->Draw(other.get(), Solid(0, 0, 0, 40, 40, 0.2f));
  batch->Draw(palette.get(), Solid(0, 20, 20, 60, 60, 0.9f));
  Sprite invisible = Solid(2, 0, 0, 80, 80, 0.1f);
  invisible.color[3] = 0.0f;
  batch->Draw(other.get(), invisible);
  batch->Draw(palette.get(), Solid(2, 50, 50, 70, 70, 0.95f));
  batch->End();
  EXPECT_EQ(batch->DrawCount(), 7u);
  const std::vector<float> layered = ReadAll();
  EXPECT_NEAR(At(layered, 30, 30)[0], 1.0f, 0.01f);  // red over green
  EXPECT_NEAR(At(layered, 10, 10)[1], 1.0f, 0.01f);
  EXPECT_NEAR(At(layered, 55, 55)[0], 1.0f, 0.01f);  // red over the farther blue of its run
  EXPECT_NEAR(At(layered, 65, 65)[2], 1.0f, 0.01f);
  EXPECT_NEAR(At(layered, 75, 75)[2], 0.0f, 0.01f);  // nothing of the transparent quad

  std::unique_ptr<SpriteBatch> none;
  EXPECT_EQ(SpriteBatch::Create(device.get(), layout.get(), 0, kWidth, kHeight, &none), Platform::kInvalidArgument);
  EXPECT_EQ(device->UpdateTexture(palette.get(), 2, 0, 4, 1, pixels.data(), 16), Platform::kInvalidArgument);
}

}  // namespace
