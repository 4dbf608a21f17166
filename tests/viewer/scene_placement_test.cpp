// Where the camera stands and what the picture frames: the part of the window the panels leave
// free, and models drawn through the shipped mesh effect, seen from their front as their files
// describe them and whole inside that part.
#include "viewer/scene_placement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "renderlib/obj_loader.h"
#include "renderlib/triangle_soup.h"
#include "tests/renderlib/temporary_folder.h"
#include "tests/viewer/hidden_device.h"
#include "viewer/device_mesh.h"
#include "viewer/scene_effects.h"

namespace Viewer {
namespace {

void ExpectRect(const PixelRect& actual, const PixelRect& expected) {
  EXPECT_EQ(actual.left, expected.left);
  EXPECT_EQ(actual.top, expected.top);
  EXPECT_EQ(actual.right, expected.right);
  EXPECT_EQ(actual.bottom, expected.bottom);
}

TEST(LargestFreeRect, IsThePartNoPanelCoversWithTheLongestShortSide) {
  // A column of panels down the right edge, with gaps between them: the gaps are too narrow.
  ExpectRect(LargestFreeRect(800, 600, {{610, 0, 790, 120}, {610, 300, 790, 420}, {610, 430, 790, 595}}),
             {0, 0, 610, 600});
  // Below a panel in the top-left corner is 400 wide, beside it only 100.
  ExpectRect(LargestFreeRect(400, 600, {{0, 0, 300, 100}}), {0, 100, 400, 600});
  // A panel reaching past the window is cut at its edge.
  ExpectRect(LargestFreeRect(400, 300, {{-50, -50, 100, 400}}), {100, 0, 400, 300});
  ExpectRect(LargestFreeRect(400, 300, {}), {0, 0, 400, 300});
  const PixelRect none = LargestFreeRect(400, 300, {{0, 0, 400, 300}});
  EXPECT_FALSE(none.Width() > 0.0f && none.Height() > 0.0f);
}

// A flat model facing +z: quads given as (x0, y0, x1, y1) at z = 0.
std::string FlatObj(const std::vector<std::array<float, 4>>& quads) {
  std::string text = "vn 0 0 1\n";
  int vertex = 1;
  for (const auto& q : quads) {
    for (const auto& [x, y] : {std::pair{q[0], q[1]}, std::pair{q[2], q[1]}, std::pair{q[2], q[3]}, std::pair{q[0], q[3]}})
      text += "v " + std::to_string(x) + " " + std::to_string(y) + " 0\n";
    text += "f " + std::to_string(vertex) + "//1 " + std::to_string(vertex + 1) + "//1 " + std::to_string(vertex + 2) +
            "//1 " + std::to_string(vertex + 3) + "//1\n";
    vertex += 4;
  }
  return text;
}

constexpr uint32_t kWidth = 96;
constexpr uint32_t kHeight = 64;

// Draws a model through the shipped drawmesh.fx (its Dirt view, which its lights alone make
// visible, no environment needed) into a kWidth × kHeight picture cleared to black, from the
// starting camera, framed in free; answers which pixels it covers.
class FramedPicture : public HiddenDevice {
protected:
  std::vector<bool> Draw(const std::string& obj, const PixelRect& free) {
    const std::string path = folder.Write("model.obj", obj);
    std::unique_ptr<RenderLib::ObjModel> model = RenderLib::LoadObj(path.c_str());
    EXPECT_NE(model, nullptr);
    if (!model) return {};
    const RenderLib::BoundingBox box = RenderLib::TriangleSoup(*model).GetBoundingBox();
    const ModelBounds bounds = BoundsOfBox(box);
    const CameraPlacement start = StartingCamera(bounds);
    const CameraMatrices camera = FixedCamera(
        start, Platform::MatrixIdentity(), FramingProjection(box, Platform::MatrixIdentity(), start, kWidth, kHeight, free));

    std::unique_ptr<DeviceMesh> mesh = CreateDeviceMesh(device.get(), model.get());
    MeshEffect effect;
    std::string problems;
    EXPECT_EQ(effect.Load(*device, PATINEX_SOURCE_DIR "/media", &problems), Platform::kOk) << problems;
    effect.PlaceLights(bounds);
    std::unique_ptr<Platform::RenderTarget> target;
    EXPECT_EQ(device->CreateRenderTarget(kWidth, kHeight, &target), Platform::kOk);
    if (!mesh || !target) return {};
    device->SetRenderTargets(target->ColorView(), target->DepthView());
    device->SetViewport({0, 0, kWidth, kHeight, 0.0f, 1.0f});
    const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    device->ClearRenderTargetView(target->ColorView(), black);
    device->ClearDepthStencilView(target->DepthView(), 1.0f);
    effect.Draw(*mesh, effect.ViewTechnique(1), camera, {});
    std::vector<float> rgba(size_t(kWidth) * kHeight * 4);
    EXPECT_EQ(device->ReadPixels(0, 0, kWidth, kHeight, rgba.data()), Platform::kOk);
    device->SetRenderTargets(device->BackBufferView(), device->DepthStencilBufferView());
    std::vector<bool> covered(size_t(kWidth) * kHeight);
    for (size_t i = 0; i < covered.size(); ++i) covered[i] = rgba[4 * i] + rgba[4 * i + 1] + rgba[4 * i + 2] > 0.02f;
    return covered;
  }

  // The first and last covered column of a row, -1 for none.
  static std::pair<int, int> Span(const std::vector<bool>& covered, int row) {
    int first = -1, last = -1;
    for (int x = 0; x < int(kWidth); ++x) {
      if (!covered[size_t(row) * kWidth + size_t(x)]) continue;
      if (first < 0) first = x;
      last = x;
    }
    return {first, last};
  }

  TemporaryFolder folder;
};

TEST_F(FramedPicture, AModelSeenFromItsFrontShowsItsPlusXSideOnTheRight) {
  // A square plate with a tab sticking out on +x only, at mid-height.
  const std::vector<bool> covered =
      Draw(FlatObj({{-1.0f, -1.0f, 1.0f, 1.0f}, {1.0f, -0.25f, 2.0f, 0.25f}}), {0, 0, kWidth, kHeight});
  ASSERT_FALSE(covered.empty());
  const auto [plateLeft, plateRight] = Span(covered, int(kHeight) / 4);
  const auto [middleLeft, middleRight] = Span(covered, int(kHeight) / 2);
  ASSERT_GE(plateLeft, 0) << "the plate is not drawn";
  EXPECT_NEAR(middleLeft, plateLeft, 1);
  EXPECT_GT(middleRight, plateRight + 8) << "the tab is not on the right";
}

TEST_F(FramedPicture, ATallModelIsWholeInsideTheFreePartAndFillsItsHeight) {
  // Five times taller than wide, framed in the left part of the picture (a panel on the right).
  const PixelRect free{0, 0, 60, float(kHeight)};
  const std::vector<bool> covered = Draw(FlatObj({{-0.3f, 0.0f, 0.3f, 3.0f}}), free);
  ASSERT_FALSE(covered.empty());
  int top = int(kHeight), bottom = -1, left = int(kWidth), right = -1;
  for (int y = 0; y < int(kHeight); ++y)
    for (int x = 0; x < int(kWidth); ++x)
      if (covered[size_t(y) * kWidth + size_t(x)]) {
        top = std::min(top, y);
        bottom = std::max(bottom, y);
        left = std::min(left, x);
        right = std::max(right, x);
      }
  ASSERT_GE(bottom, 0) << "nothing is drawn";
  // Clear of every edge of the free part, and centred in it.
  EXPECT_GT(top, 0);
  EXPECT_LT(bottom, int(kHeight) - 1);
  EXPECT_GT(left, 0);
  EXPECT_LT(right, int(free.right) - 1);
  EXPECT_NEAR((left + right + 1) / 2.0f, free.right / 2.0f, 1.5f);
  // Framed to the free part's height, not shrunk to a speck.
  EXPECT_GT(bottom - top + 1, int(0.8f * kFramedShare * float(kHeight)));
}

}  // namespace
}  // namespace Viewer
