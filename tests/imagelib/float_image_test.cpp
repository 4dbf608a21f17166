#include "imagelib/image.h"

#include <gtest/gtest.h>

#include "tests/imagelib/image_test_files.h"

using namespace ImageLib;

namespace {

Bytes GreyTarga(const Bytes& row) {
  size_t width = row.size();
  return Bytes{0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8), 1, 0, 8, 0} + row;
}

}  // namespace

TEST(FloatImage, BytesBecomeFractionsOf255) {
  ScratchFolder folder;
  ImageF image;
  ASSERT_TRUE(image.Load(folder.Write("grey.tga", GreyTarga({0, 255})).c_str()));
  EXPECT_EQ(image.channels, 1u);
  EXPECT_EQ(image.formatCode, 1u);
  EXPECT_EQ(image.samples[0], 0.0f);
  EXPECT_EQ(image.samples[1], 1.0f);

  Bytes every;
  for (int value = 0; value < 256; ++value) every.push_back(static_cast<uint8_t>(value));
  ASSERT_TRUE(image.Load(folder.Write("every.tga", GreyTarga(every)).c_str()));
  ASSERT_EQ(image.width, 256u);
  for (int value = 0; value < 256; ++value) EXPECT_EQ(image.samples[value], static_cast<float>(value / 255.0));
}

TEST(FloatImage, RadianceKeepsValuesAboveOne) {
  ScratchFolder folder;
  Bytes file = Text("#?RADIANCE\n\n-Y 1 +X 1\n") + Bytes{192, 128, 64, 140};
  ImageF image;
  ASSERT_TRUE(image.Load(folder.Write("bright.hdr", file).c_str()));
  EXPECT_EQ(image.formatCode, 167u);
  EXPECT_EQ(image.samples[0], 3072.0f);
  EXPECT_EQ(image.samples[1], 2048.0f);
  EXPECT_EQ(image.samples[2], 1024.0f);
}

TEST(FloatImage, FailedLoadLeavesNoSamples) {
  ScratchFolder folder;
  std::string good = folder.Write("good.tga", GreyTarga({1, 2, 3}));
  ImageF image;
  ASSERT_TRUE(image.Load(good.c_str()));
  Bytes truncated = GreyTarga({1, 2, 3});
  truncated.pop_back();
  EXPECT_FALSE(image.Load(folder.Write("short.tga", truncated).c_str()));
  EXPECT_FALSE(image.valid);
  EXPECT_EQ(image.samples, nullptr);
  EXPECT_EQ(image.width, 0u);

  ASSERT_TRUE(image.Load(good.c_str()));
  EXPECT_FALSE(image.Load((folder.path / "good.png").c_str()));
  EXPECT_FALSE(image.valid);
  EXPECT_EQ(image.samples, nullptr);
}
