#include "imagelib/image.h"

#include <gtest/gtest.h>

#include "tests/imagelib/image_test_files.h"
#include "tests/support/test_images.h"

using namespace ImageLib;

namespace {

Bytes Targa(int depth, const Bytes& pixels) {
  size_t width = pixels.size() / (depth / 8);
  return Bytes{0, 0, uint8_t(depth == 8 ? 3 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8), 1, 0,
               uint8_t(depth), 0} +
         pixels;
}

Bytes GreyTarga(const Bytes& row) { return Targa(8, row); }

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

TEST(FloatImage, FormatCodeFollowsTheChannelsAndGreyWithAlphaBecomesRgba) {
  ScratchFolder folder;
  ImageF image;
  for (auto [depth, channels, code] : {std::tuple{8, 1u, 1u}, {24, 3u, 7u}, {32, 4u, 15u}}) {
    ASSERT_TRUE(image.Load(folder.Write("image.tga", Targa(depth, Bytes(size_t(depth / 8), 51))).c_str())) << depth;
    EXPECT_EQ(image.channels, channels);
    EXPECT_EQ(image.formatCode, code);
  }
  TestImages::PngPicture greyAlpha{2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {{51, 255, 102, 0}}, {}, {}, {}, false};
  ASSERT_TRUE(image.Load(folder.Write("image.png", TestImages::EncodePng(greyAlpha)).c_str()));
  EXPECT_EQ(image.channels, 4u);
  EXPECT_EQ(image.formatCode, 15u);
  EXPECT_EQ(std::vector<float>(image.samples, image.samples + 8),
            (std::vector<float>{0.2f, 0.2f, 0.2f, 1.0f, 0.4f, 0.4f, 0.4f, 0.0f}));

  // 16-bit samples keep their precision: 0x8001 is not 128 / 255.
  TestImages::PngPicture wide{1, 1, PNG_COLOR_TYPE_RGB, 16, {{0x80, 0x01, 0xFF, 0xFF, 0x00, 0x01}}, {}, {}, {}, false};
  ASSERT_TRUE(image.Load(folder.Write("wide.png", TestImages::EncodePng(wide)).c_str()));
  EXPECT_EQ(image.formatCode, 7u);
  EXPECT_EQ(std::vector<float>(image.samples, image.samples + 3),
            (std::vector<float>{0x8001 / 65535.0f, 1.0f, 1 / 65535.0f}));
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

TEST(FloatImage, GreyJpegDecodesButDoesNotLoad) {
  ScratchFolder folder;
  std::string path = folder.Write("grey.jpg", TestImages::EncodeJpeg(8, 4, 1, Bytes(32, 99)));
  ImageF image;
  EXPECT_FALSE(image.Load(path.c_str()));
  EXPECT_FALSE(image.valid);
  EXPECT_EQ(image.samples, nullptr);
  EXPECT_EQ(image.width, 8u);
  EXPECT_EQ(image.channels, 1u);
  EXPECT_EQ(image.formatCode, 0u);
}

TEST(FloatImage, JpegFailuresAreReportedOnStderr) {
  ScratchFolder folder;
  ImageF image;
  std::string missing = (folder.path / "missing.jpg").string();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(image.Load(missing.c_str()));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "can't open " + missing + "\n");

  Bytes jpeg = TestImages::EncodeJpeg(16, 16, 3, Bytes(16 * 16 * 3, 77));
  std::string cut = folder.Write("cut.jpg", Bytes(jpeg.begin(), jpeg.begin() + ptrdiff_t(jpeg.size() / 2)));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(image.Load(cut.c_str()));
  EXPECT_NE(testing::internal::GetCapturedStderr().find(cut + ": JPEG: "), std::string::npos);
}
