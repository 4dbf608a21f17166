// Checks the media the program ships: every model loads with its material, carries unit normals
// and a texture atlas whose charts stay inside the unit square and do not overlap (the masks are
// baked in texture space), and the textures and the splat have the sizes the program expects.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "imagelib/image.h"
#include "renderlib/obj_loader.h"

namespace {

constexpr int kRaster = 1024;

std::string Media(const std::string& name) { return std::string(PATINEX_SOURCE_DIR) + "/media/" + name; }

struct Coverage {
  long covered = 0;
  long overlapped = 0;
};

// Counts, per texel of a kRaster x kRaster raster, the UV triangles whose inside holds the
// texel's centre (strictly, so neighbours sharing an edge do not count twice).
Coverage RasteriseAtlas(const RenderLib::ObjModel& model) {
  std::vector<uint8_t> count(kRaster * kRaster, 0);
  for (const RenderLib::MeshGroup& group : model.groups) {
    for (int32_t i = 0; i + 2 < group.indices.Count(); i += 3) {
      float x[3], y[3];
      for (int k = 0; k < 3; ++k) {
        const RenderLib::VertexNormalUV& vertex = group.vertices[group.indices[i + k]];
        x[k] = vertex.u * kRaster;
        y[k] = vertex.v * kRaster;
      }
      const int x0 = std::max(0, static_cast<int>(std::floor(std::min({x[0], x[1], x[2]}))));
      const int x1 = std::min(kRaster - 1, static_cast<int>(std::ceil(std::max({x[0], x[1], x[2]}))));
      const int y0 = std::max(0, static_cast<int>(std::floor(std::min({y[0], y[1], y[2]}))));
      const int y1 = std::min(kRaster - 1, static_cast<int>(std::ceil(std::max({y[0], y[1], y[2]}))));
      for (int py = y0; py <= y1; ++py) {
        for (int px = x0; px <= x1; ++px) {
          const double cx = px + 0.5, cy = py + 0.5;
          double e[3];
          for (int k = 0; k < 3; ++k) {
            const int n = (k + 1) % 3;
            e[k] = (double(x[n]) - x[k]) * (cy - y[k]) - (double(y[n]) - y[k]) * (cx - x[k]);
          }
          const bool inside = (e[0] > 0 && e[1] > 0 && e[2] > 0) || (e[0] < 0 && e[1] < 0 && e[2] < 0);
          if (inside && count[py * kRaster + px] < 255) ++count[py * kRaster + px];
        }
      }
    }
  }
  Coverage coverage;
  for (uint8_t c : count) {
    coverage.covered += c > 0;
    coverage.overlapped += c > 1;
  }
  return coverage;
}

class ShippedModel : public testing::TestWithParam<const char*> {};

TEST_P(ShippedModel, LoadsWithUnitNormalsAndANonOverlappingAtlas) {
  RenderLib::ErrorList errors;
  std::unique_ptr<RenderLib::ObjModel> model = RenderLib::LoadObj(Media(std::string(GetParam()) + ".obj").c_str(), &errors);
  ASSERT_NE(model, nullptr);
  EXPECT_TRUE(errors.empty()) << errors.front();
  ASSERT_EQ(model->materials.Count(), 1);
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
  Coverage coverage = RasteriseAtlas(*model);
  EXPECT_GT(coverage.covered, kRaster * kRaster / 4) << "the atlas uses too little of the texture";
  EXPECT_LT(coverage.overlapped, coverage.covered / 200) << coverage.overlapped << " of " << coverage.covered;
}

INSTANTIATE_TEST_SUITE_P(Media, ShippedModel, testing::Values("sphere", "bunny", "beethoven"));

TEST(ShippedTextures, AreSquareColourImagesOf1024Texels) {
  for (const char* name : {"tex_base.jpg", "tex_base_NRM.jpg", "tex_patina.jpg", "tex_patina_NRM.jpg"}) {
    ImageLib::ImageF image;
    ASSERT_TRUE(image.Load(Media(name).c_str())) << name;
    EXPECT_EQ(image.width, 1024u) << name;
    EXPECT_EQ(image.height, 1024u) << name;
    EXPECT_EQ(image.channels, 3u) << name;
  }
}

TEST(ShippedSplat, IsAWhiteRoundSplatFadingToNothingAtItsRim) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, Media("SPLAT.png").c_str()));
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
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
