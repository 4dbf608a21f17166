#include "assetexport/texture_bake.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "assetexport/look_catalog.h"
#include "assetexport/surface_frames.h"
#include "imagelib/png_writer.h"
#include "tests/assetexport/export_test_models.h"

namespace AssetExport {
namespace {

using AssetExportTest::LoadSquare;
using AssetExportTest::Mask;
using AssetExportTest::TestFolder;

constexpr uint32_t kSize = 64;

struct Rgb {
  int r, g, b;
};

Rgb TexelOf(const std::vector<uint8_t>& plane, uint32_t x, uint32_t y) {
  const size_t at = (size_t(y) * kSize + x) * 3;
  return {plane[at], plane[at + 1], plane[at + 2]};
}

void ExpectNear(const Rgb& got, float r, float g, float b, const std::string& where, int tolerance = 1) {
  EXPECT_NEAR(got.r, std::clamp(r, 0.0f, 1.0f) * 255.0f, tolerance) << where;
  EXPECT_NEAR(got.g, std::clamp(g, 0.0f, 1.0f) * 255.0f, tolerance) << where;
  EXPECT_NEAR(got.b, std::clamp(b, 0.0f, 1.0f) * 255.0f, tolerance) << where;
}

class TextureBake : public testing::Test {
protected:
  // The shipped textures take a while to decode: once for the suite.
  static void SetUpTestSuite() {
    std::string error;
    loaded = LoadLookTextures(bronze, &shipped, &error);
    if (!loaded) std::fprintf(stderr, "%s\n", error.c_str());
  }
  void SetUp() override { ASSERT_TRUE(loaded) << "the shipped bronze look's textures did not load"; }

  BakedTextures Bake(const RenderLib::ObjModel& model, const TextureSampler& rust, const TextureSampler& dirt,
                     const Look* look = nullptr, const LookTextures* textures = nullptr) {
    for (const RenderLib::MeshGroup& group : model.groups) frames.push_back(ComputeSurfaceFrames(group));
    BakeInputs inputs;
    inputs.model = &model;
    inputs.frames = &frames;
    inputs.agedLook = look != nullptr ? look : &bronze;
    inputs.textures = textures != nullptr ? textures : &shipped;
    inputs.rustMask = &rust;
    inputs.dirtMask = &dirt;
    inputs.material = BakedMaterialOf(model, model.groups[0]);
    BakedTextures baked;
    std::string error;
    EXPECT_TRUE(BakeAgedTextures(inputs, kSize, &baked, &error)) << error;
    return baked;
  }

  // Where the square's texel (x, y) lies in the shipped materials' z side, which it faces.
  static void SideOf(uint32_t x, uint32_t y, float* s, float* t) {
    const float u = (float(x) + 0.5f) / kSize, v = 1.0f - (float(y) + 0.5f) / kSize;
    *s = (4.0f * u - 2.0f) * 0.25f;
    *t = (4.0f * v - 2.0f) * 0.25f;
  }

  static inline const Look bronze = BronzeLook();
  // The bronze base's textures, and the verdigris crust's (its first layer).
  static inline LookTextures shipped;
  static inline bool loaded = false;
  std::vector<std::vector<SurfaceFrame>> frames;
  TestFolder folder;
};

// The rust mask's upper rows are full, the lower empty: on the square's upper half (v > 0.5,
// the baked rows above the middle) the verdigris takes over, with its colour, its normal map in
// the square's own frame, and the crust's metal and roughness; the lower half stays bronze.
TEST_F(TextureBake, PatinaWhereTheRustMaskIsFullBronzeWhereEveryMaskIsEmpty) {
  std::unique_ptr<RenderLib::ObjModel> square = LoadSquare(folder);
  ASSERT_TRUE(square);
  const BakedTextures baked = Bake(*square, Mask(1.0f, 0.0f), Mask(0.0f));
  for (uint32_t y : {20u, 27u, 38u, 44u}) {
    for (uint32_t x : {20u, 31u, 43u}) {
      const std::string where = "texel " + std::to_string(x) + ", " + std::to_string(y);
      float s, t, color[3], normal[3];
      SideOf(x, y, &s, &t);
      const bool patina = y < kSize / 2;
      (patina ? shipped.layers[0].color : shipped.base.color).Sample(s, t, color);
      const float brightness = patina ? 1.2f : 1.0f;
      ExpectNear(TexelOf(baked.baseColor, x, y), color[0] * brightness, color[1] * brightness, color[2] * brightness,
                 where);
      const Rgb metalRough = TexelOf(baked.metallicRoughness, x, y);
      EXPECT_EQ(metalRough.b, patina ? 0 : 255) << where;
      EXPECT_EQ(metalRough.g, patina ? 217 : 102) << where;
      // The square's tangent is +x and its bitangent +y, so the map's slope is the texel's own.
      (patina ? shipped.layers[0].normal : shipped.base.normal).Sample(s, t, normal);
      const float relief = patina ? 1.0f : 0.45f;
      const float nx = (normal[0] * 2.0f - 1.0f) * relief, ny = (normal[1] * 2.0f - 1.0f) * relief;
      const float length = std::sqrt(nx * nx + ny * ny + 1.0f);
      ExpectNear(TexelOf(baked.normal, x, y), (nx / length + 1.0f) / 2, (ny / length + 1.0f) / 2,
                 (1.0f / length + 1.0f) / 2, where);
    }
  }
}

// An MTL material with a diffuse map keeps its texture where no patina grows; a glTF material's
// factors scale its colour (linear), metal and roughness, and its flat normal map stays flat.
// Full dirt darkens to DirtColor of the brightness, a little brown. The texels outside the
// square take the colour of its border.
TEST_F(TextureBake, AnAssetsOwnMaterialShowsThroughAndIsDirtied) {
  std::vector<uint8_t> orange(8 * 8 * 3), flat(8 * 8 * 3);
  for (size_t i = 0; i < 64; ++i) {
    orange[3 * i] = 200, orange[3 * i + 1] = 120, orange[3 * i + 2] = 40;
    flat[3 * i] = 128, flat[3 * i + 1] = 128, flat[3 * i + 2] = 255;
  }
  std::vector<uint8_t> png;
  std::string error;
  ASSERT_TRUE(ImageLib::EncodePng8(orange.data(), 8, 8, 3, &png, &error)) << error;
  folder.Write("orange.png", std::string(png.begin(), png.end()));
  std::unique_ptr<RenderLib::ObjModel> square = LoadSquare(folder, "newmtl own\nKd 1 1 1\nmap_Kd orange.png\n");
  ASSERT_TRUE(square);
  {
    const BakedTextures baked = Bake(*square, Mask(1.0f, 0.0f), Mask(0.0f));
    ExpectNear(TexelOf(baked.baseColor, 32, 40), 200 / 255.0f, 120 / 255.0f, 40 / 255.0f, "below the patina");
    float s, t, color[3];
    SideOf(32, 20, &s, &t);
    shipped.layers[0].color.Sample(s, t, color);
    ExpectNear(TexelOf(baked.baseColor, 32, 20), color[0] * 1.2f, color[1] * 1.2f, color[2] * 1.2f, "in the patina");
    ExpectNear(TexelOf(baked.baseColor, 0, 63), 200 / 255.0f, 120 / 255.0f, 40 / 255.0f, "outside the chart");
    EXPECT_EQ(TexelOf(baked.metallicRoughness, 32, 40).b, 0) << "painted, not metal";
  }

  ASSERT_TRUE(ImageLib::EncodePng8(flat.data(), 8, 8, 3, &png, &error)) << error;
  RenderLib::Material& material = **square->materials.begin();
  material.metallicRoughness = true;
  material.baseColorFactor[0] = 0.5f;
  material.metallicFactor = 0.25f;
  material.roughnessFactor = 0.6f;
  auto* normalMap = new RenderLib::RefCountedImage();
  const std::string normalPath = folder.Write("flat.png", std::string(png.begin(), png.end()));
  ASSERT_TRUE(normalMap->Load(normalPath.c_str()));
  material.normalMap = normalMap;
  frames.clear();
  const BakedTextures baked = Bake(*square, Mask(0.0f), Mask(1.0f));
  // sRGB 200 / 255 is linear 0.578; half of that, 0.289, is sRGB 0.574.
  const float red = 0.574f, dirt = 0.3f;
  ExpectNear(TexelOf(baked.baseColor, 32, 32), red * dirt, 120 / 255.0f * dirt * 0.88f, 40 / 255.0f * dirt * 0.74f,
             "dirty", 2);
  const Rgb metalRough = TexelOf(baked.metallicRoughness, 32, 32);
  EXPECT_NEAR(metalRough.b, 0.25f * 0.3f * 255, 1) << "full dirt leaves 30 % of the metal";
  EXPECT_NEAR(metalRough.g, 0.95f * 255, 1) << "dirt roughens";
  ExpectNear(TexelOf(baked.normal, 32, 32), 0.5f, 0.5f, 1.0f, "flat");
}

// A metallic-roughness map laid on the second texture coordinate set is read there, not at the
// base colour's coordinates: here set 1 is set 0 moved by half the map, whose left half is smooth
// and right half rough.
TEST_F(TextureBake, AMapOnItsOwnCoordinatesIsReadThere) {
  std::unique_ptr<RenderLib::ObjModel> square = LoadSquare(folder, "newmtl own\nKd 1 1 1\n");
  ASSERT_TRUE(square);
  RenderLib::Material& material = **square->materials.begin();
  material.metallicRoughness = true;
  auto* map = new RenderLib::RefCountedImage();
  map->width = 2;
  map->height = 1;
  map->channels = 3;
  map->samples = new float[6]{1.0f, 0.2f, 0.0f, 1.0f, 0.8f, 0.0f};
  map->valid = true;
  material.metallicRoughnessMap = map;
  RenderLib::MeshGroup& group = square->groups[0];
  group.extras.resize(group.vertices.size());
  for (size_t i = 0; i < group.vertices.size(); ++i) {
    group.extras[i].texCoord[0][0] = group.vertices[i].u;
    group.extras[i].texCoord[0][1] = group.vertices[i].v;
    group.extras[i].texCoord[1][0] = group.vertices[i].u + 0.5f;
    group.extras[i].texCoord[1][1] = group.vertices[i].v;
  }
  const uint32_t left = kSize / 4 + 1;  // u = 0.27: the map's smooth texel at set 0, the rough one at set 1
  const BakedTextures onFirst = Bake(*square, Mask(0.0f), Mask(0.0f));
  EXPECT_NEAR(TexelOf(onFirst.metallicRoughness, left, 32).g, 0.2f * 255 + 0.04f * 0.6f * 255, 3);
  material.metallicRoughnessSlot.texCoord = 1;
  frames.clear();
  const BakedTextures onSecond = Bake(*square, Mask(0.0f), Mask(0.0f));
  EXPECT_NEAR(TexelOf(onSecond.metallicRoughness, left, 32).g, 0.8f * 255 - 0.04f * 0.6f * 255, 3);
}

// The mean colour, metallic and roughness of the upper half's texels (0 to 255).
struct HalfMean {
  float red = 0, green = 0, blue = 0, metallic = 0, roughness = 0;
};
HalfMean UpperHalfMean(const BakedTextures& baked) {
  HalfMean mean;
  int count = 0;
  for (uint32_t y = 18; y < 30; ++y) {
    for (uint32_t x = 18; x < 46; ++x, ++count) {
      const Rgb color = TexelOf(baked.baseColor, x, y), metalRough = TexelOf(baked.metallicRoughness, x, y);
      mean.red += color.r, mean.green += color.g, mean.blue += color.b;
      mean.metallic += metalRough.b, mean.roughness += metalRough.g;
    }
  }
  for (float* value : {&mean.red, &mean.green, &mean.blue, &mean.metallic, &mean.roughness}) *value /= count;
  return mean;
}

// From the same masks, full rust on the upper half: the iron look's rust is orange-brown, dull
// and rough where the bronze turns green; below it iron stays a grey metal.
TEST_F(TextureBake, IronRustsOrangeBrownAndDullWhereBronzeTurnsGreen) {
  std::unique_ptr<RenderLib::ObjModel> square = LoadSquare(folder);
  ASSERT_TRUE(square);
  Look iron;
  LookTextures ironTextures;
  std::string error;
  ASSERT_TRUE(FindLook("iron", &iron, &error) && LoadLookTextures(iron, &ironTextures, &error)) << error;
  const TextureSampler rust = Mask(1.0f, 0.0f), clean = Mask(0.0f);
  const HalfMean rusted = UpperHalfMean(Bake(*square, rust, clean, &iron, &ironTextures));
  EXPECT_GT(rusted.red, rusted.green * 1.3f);
  EXPECT_GT(rusted.green, rusted.blue * 1.3f);
  EXPECT_LT(rusted.metallic, 0.1f * 255);
  EXPECT_GT(rusted.roughness, 0.85f * 255);
  frames.clear();
  const HalfMean green = UpperHalfMean(Bake(*square, rust, clean));
  EXPECT_GT(green.green, green.red);
  frames.clear();
  const BakedTextures bare = Bake(*square, Mask(0.0f), clean, &iron, &ironTextures);
  const Rgb metal = TexelOf(bare.baseColor, 32, 24);
  EXPECT_LE(std::abs(metal.r - metal.b), 4);
  EXPECT_EQ(TexelOf(bare.metallicRoughness, 32, 24).b, 255);
}

TEST_F(TextureBake, RefusesSizesOutsideTheMasksRange) {
  std::unique_ptr<RenderLib::ObjModel> square = LoadSquare(folder);
  std::vector<std::vector<SurfaceFrame>> squareFrames{ComputeSurfaceFrames(*square->groups.begin())};
  const TextureSampler empty;
  BakeInputs inputs{square.get(), &squareFrames, &bronze, &shipped, &empty, &empty, nullptr, {}};
  BakedTextures baked;
  std::string error;
  EXPECT_FALSE(BakeAgedTextures(inputs, 63, &baked, &error));
  EXPECT_NE(error.find("63 is outside 64..8192"), std::string::npos) << error;
  EXPECT_TRUE(BakeAgedTextures(inputs, 64, &baked, &error)) << error;
}

}  // namespace
}  // namespace AssetExport
