#include "simulation/splat_image.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "imagelib/png_writer.h"
#include "tests/support/test_images.h"

TEST(SplatImage, CoverageIsTheAlphaInStepsOf255thsOrWholeWithoutAlpha) {
  std::vector<uint8_t> rgba(256 * 4, 200);
  for (int a = 0; a < 256; ++a) rgba[4 * a + 3] = uint8_t(a);
  const std::vector<uint8_t> withAlpha =
      TestImages::StreamBytes([&](std::FILE* file) {
        return ImageLib::WritePngRgba8(file, "splat", rgba.data(), 16, 16);
      });
  Simulation::SplatImage splat;
  std::string error;
  ASSERT_TRUE(splat.LoadFromMemory(withAlpha.data(), withAlpha.size(), error)) << error;
  ASSERT_EQ(splat.Width(), 16u);
  for (uint32_t a = 0; a < 256; ++a) ASSERT_EQ(splat.At(a % 16, a / 16), a * (1.0f / 255.0f)) << a;

  const std::vector<uint16_t> grey(4, 0x1234);
  const std::vector<uint8_t> opaque =
      TestImages::StreamBytes([&](std::FILE* file) {
        return ImageLib::WritePngGrey16(file, "grey", grey.data(), 2, 2);
      });
  ASSERT_TRUE(splat.LoadFromMemory(opaque.data(), opaque.size(), error)) << error;
  EXPECT_EQ(std::vector<float>(splat.Alpha(), splat.Alpha() + 4), std::vector<float>(4, 1.0f));

  std::vector<uint8_t> cut(withAlpha.begin(), withAlpha.end() - 30);
  EXPECT_FALSE(splat.LoadFromMemory(cut.data(), cut.size(), error));
  EXPECT_EQ(splat.Width(), 0u);
  EXPECT_NE(error.find("PNG: "), std::string::npos) << error;
  const std::vector<uint8_t> wide(1025 * 4, 255);
  const std::vector<uint8_t> tooWide =
      TestImages::StreamBytes([&](std::FILE* file) {
        return ImageLib::WritePngRgba8(file, "wide", wide.data(), 1025, 1);
      });
  EXPECT_FALSE(splat.LoadFromMemory(tooWide.data(), tooWide.size(), error));
  EXPECT_NE(error.find("not a usable splat"), std::string::npos) << error;
}
