// The background through the real device: an environment whose colour tells its direction
// (red grows towards +x, green towards +y, blue towards -z) must show -z in the middle of a
// camera looking along -z, as the window's camera looks at a model's front, +x to its right and
// +y above: what a right-handed camera sees, whatever the picture's layout.
#include "viewer/environment_background.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "tests/viewer/hidden_device.h"
#include "viewer/environment_directions.h"
#include "viewer/environment_light.h"
#include "viewer/environment_preparation.h"
#include "viewer/scene_placement.h"

namespace Viewer {
namespace {

constexpr uint32_t kSide = 64;

RadianceMap DirectionColours() {
  RadianceMap map{128, 64, {}};
  for (uint32_t y = 0; y < map.height; ++y) {
    for (uint32_t x = 0; x < map.width; ++x) {
      const Platform::Float3 d = EquirectDirection((x + 0.5f) / map.width, (y + 0.5f) / map.height);
      map.rgb.insert(map.rgb.end(), {0.5f * std::max(d.x, 0.0f), 0.5f * std::max(d.y, 0.0f), 0.5f * std::max(-d.z, 0.0f)});
    }
  }
  return map;
}

class EnvironmentBackgroundTest : public HiddenDevice {
protected:
  void TearDown() override {
    background.Release();
    light.Release();
    HiddenDevice::TearDown();
  }

  // The picture seen from the origin looking along `forward`, RGBA rows from the top.
  std::vector<float> Picture(Platform::Float3 forward) {
    std::unique_ptr<Platform::RenderTarget> target;
    EXPECT_EQ(device->CreateRenderTarget(kSide, kSide, &target), Platform::kOk);
    device->SetRenderTargets(target->ColorView(), target->DepthView());
    device->SetViewport({0, 0, kSide, kSide, 0.0f, 1.0f});
    const float black[4] = {0, 0, 0, 1};
    device->ClearRenderTargetView(target->ColorView(), black);
    background.Draw(light, FixedCamera({{0, 0, 0}, forward}, Platform::MatrixIdentity(), kSide, kSide));
    std::vector<float> rgba(size_t(kSide) * kSide * 4);
    EXPECT_EQ(device->ReadPixels(0, 0, kSide, kSide, rgba.data()), Platform::kOk);
    device->SetRenderTargets(device->BackBufferView(), device->DepthStencilBufferView());
    return rgba;
  }

  static std::array<float, 3> At(const std::vector<float>& rgba, uint32_t x, uint32_t y) {
    const float* p = &rgba[(size_t(y) * kSide + x) * 4];
    return {p[0], p[1], p[2]};
  }

  void Load() {
    std::string problems;
    ASSERT_EQ(background.Load(*device, PATINEX_SOURCE_DIR "/media", &problems), Platform::kOk) << problems;
    ASSERT_EQ(light.Upload(PrepareEnvironment(DirectionColours(), nullptr), &problems), Platform::kOk) << problems;
  }

  EnvironmentLight light;
  EnvironmentBackground background;
};

TEST_F(EnvironmentBackgroundTest, LookingAlongMinusZShowsMinusZInTheMiddleAndPlusXToTheRight) {
  Load();
  const std::vector<float> picture = Picture({0, 0, -1});
  const auto centre = At(picture, kSide / 2, kSide / 2);
  EXPECT_GT(centre[2], 0.6f);
  EXPECT_LT(centre[0], 0.05f);
  EXPECT_LT(centre[1], 0.05f);
  // +x to the right, nothing of it to the left; +y above, none of it below.
  EXPECT_GT(At(picture, kSide - 4, kSide / 2)[0], 0.3f);
  EXPECT_LT(At(picture, 4, kSide / 2)[0], 0.05f);
  EXPECT_GT(At(picture, kSide / 2, 4)[1], 0.3f);
  EXPECT_LT(At(picture, kSide / 2, kSide - 4)[1], 0.05f);
}

TEST_F(EnvironmentBackgroundTest, RotationTurnsPlusZTowardsPlusX) {
  Load();
  light.SetRotation(kPi / 2);
  // A quarter turn takes the environment's -z to world -x, and its +x to world -z.
  const auto turned = At(Picture({-1, 0, 0}), kSide / 2, kSide / 2);
  EXPECT_GT(turned[2], 0.6f);
  EXPECT_LT(turned[0], 0.05f);
  const auto ahead = At(Picture({0, 0, -1}), kSide / 2, kSide / 2);
  EXPECT_GT(ahead[0], 0.6f);
  // Dark but for what filtering brings in from the texels beside it (magnified by the sRGB
  // curve).
  EXPECT_LT(ahead[2], 0.2f);
}

}  // namespace
}  // namespace Viewer
