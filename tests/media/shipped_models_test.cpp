// Checks the media the program ships: every model loads with its material, carries unit normals
// and a texture atlas whose charts stay inside the unit square and do not overlap (the masks are
// baked in texture space), and no stray object of the source's scene, and the textures and the splat have the sizes the program expects.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "imagelib/image.h"
#include "imagelib/image_decoder.h"
#include "renderlib/obj_loader.h"
#include "renderlib/triangle_soup.h"
#include "shipped_media/shipped_files.h"
#include "simulation/texture_layout.h"

namespace {

std::string Media(const std::string& name) { return std::string(PATINEX_SOURCE_DIR) + "/media/" + name; }

class ShippedModel : public testing::TestWithParam<const char*> {};

TEST_P(ShippedModel, LoadsWithUnitNormalsAndANonOverlappingAtlas) {
  RenderLib::ErrorList errors;
  std::unique_ptr<RenderLib::ObjModel> model = RenderLib::LoadObj(Media(std::string(GetParam()) + ".obj").c_str(), &errors);
  ASSERT_NE(model, nullptr);
  EXPECT_TRUE(errors.empty()) << errors.front();
  ASSERT_EQ(model->materials.size(), 1u);
  EXPECT_STREQ(model->materials[0]->name, GetParam());
  EXPECT_GT(model->TotalIndexCount(), 3000);

  for (const RenderLib::MeshGroup& group : model->groups) {
    for (const RenderLib::VertexNormalUV& vertex : group.vertices) {
      ASSERT_GE(vertex.u, 0.0f);
      ASSERT_LE(vertex.u, 1.0f);
      ASSERT_GE(vertex.v, 0.0f);
      ASSERT_LE(vertex.v, 1.0f);
      ASSERT_NEAR(RenderLib::Length(vertex.normal), 1.0f, 1e-4f);
    }
  }
  // The same measure as the one weather warns by.
  const RenderLib::TriangleSoup soup(*model);
  const Simulation::AtlasCoverage coverage = Simulation::RasteriseAtlas(soup, 0.0f, 0.0f, 1024);
  EXPECT_GT(coverage.covered, 1024 * 1024 / 4) << "the atlas uses too little of the texture";
  EXPECT_LT(coverage.OverlapShare(), Simulation::kOverlapWarningShare) << coverage.overlapped << " of " << coverage.covered;
}

// A left-over object of the source's scene (the bust's source holds a cube inside the head
// that pokes out through the face) shows as a foreign patch and gets weathered with the model.
// Such an object shares no vertex with the model; a few detached scraps of the scan may stay.
TEST_P(ShippedModel, IsOneSurfaceWithoutStrayObjects) {
  std::unique_ptr<RenderLib::ObjModel> model = RenderLib::LoadObj(Media(std::string(GetParam()) + ".obj").c_str());
  ASSERT_NE(model, nullptr);
  // Parts joined through shared positions: corners of one position may be split by normal or uv.
  std::map<std::tuple<float, float, float>, int> ids;
  std::vector<std::vector<int>> corners;
  for (const RenderLib::MeshGroup& group : model->groups) {
    corners.emplace_back();
    for (const RenderLib::VertexNormalUV& vertex : group.vertices) {
      const auto key = std::make_tuple(vertex.position.x, vertex.position.y, vertex.position.z);
      corners.back().push_back(ids.emplace(key, int(ids.size())).first->second);
    }
  }
  std::vector<int> parent(ids.size());
  std::iota(parent.begin(), parent.end(), 0);
  auto find = [&](int a) {
    while (parent[a] != a) a = parent[a] = parent[parent[a]];
    return a;
  };
  for (size_t g = 0; g < corners.size(); ++g) {
    const RenderLib::MeshGroup& group = model->groups[int32_t(g)];
    for (size_t i = 0; i < group.indices.size(); i += 3)
      for (int k = 1; k < 3; ++k) parent[find(corners[g][group.indices[i + k]])] = find(corners[g][group.indices[i]]);
  }
  std::vector<double> area(ids.size(), 0.0);
  double total = 0.0;
  for (size_t g = 0; g < corners.size(); ++g) {
    const RenderLib::MeshGroup& group = model->groups[int32_t(g)];
    for (size_t i = 0; i < group.indices.size(); i += 3) {
      const RenderLib::Vector3& a = group.vertices[group.indices[i]].position;
      const RenderLib::Vector3& b = group.vertices[group.indices[i + 1]].position;
      const RenderLib::Vector3& c = group.vertices[group.indices[i + 2]].position;
      const double triangle = 0.5 * RenderLib::Length(RenderLib::Cross(b - a, c - a));
      area[find(corners[g][group.indices[i]])] += triangle;
      total += triangle;
    }
  }
  ASSERT_GT(total, 0.0);
  EXPECT_GT(*std::max_element(area.begin(), area.end()) / total, 0.995) << "a detached part holds too much of the surface";
}

INSTANTIATE_TEST_SUITE_P(Media, ShippedModel, testing::Values("sphere", "bunny", "beethoven"));

TEST(ShippedTextures, AreSquareColourImagesOf1024Texels) {
  for (const char* name : ShippedMedia::kMaterialTextures) {
    ImageLib::ImageF image;
    ASSERT_TRUE(image.Load(Media(name).c_str())) << name;
    EXPECT_EQ(image.width, 1024u) << name;
    EXPECT_EQ(image.height, 1024u) << name;
    EXPECT_EQ(image.channels, 3u) << name;
  }
}

TEST(ShippedSplat, IsAWhiteRoundSplatFadingToNothingAtItsRim) {
  std::vector<uint8_t> bytes;
  std::string error;
  ImageLib::DecodedImage image;
  ASSERT_TRUE(ImageLib::ReadImageFile(Media("SPLAT.png").c_str(), bytes, error) &&
              ImageLib::DecodeImage(ImageLib::ImageFormat::Png, bytes.data(), bytes.size(), image, error))
      << error;
  ASSERT_EQ(image.channels, 4u);
  const std::vector<uint8_t>& pixels = image.samples;
  const int size = static_cast<int>(image.width);
  ASSERT_EQ(image.height, image.width);
  auto alpha = [&](int x, int y) { return pixels[(y * size + x) * 4 + 3]; };
  EXPECT_EQ(alpha(0, 0), 0);
  EXPECT_EQ(alpha(size - 1, size - 1), 0);
  EXPECT_EQ(alpha(size / 2, 0), 0);
  EXPECT_GT(alpha(size / 2, size / 2), 250);
  EXPECT_EQ(pixels[(size / 2 * size + size / 2) * 4], 255);
  // Alpha never rises from the centre outwards along a row.
  for (int x = size / 2; x + 1 < size; ++x) EXPECT_GE(alpha(x, size / 2), alpha(x + 1, size / 2));
}

}  // namespace
