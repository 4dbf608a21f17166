#include "platform/texture_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "tests/platform/test_images.h"

namespace Platform {
namespace {

using TestImages::EncodeJpeg;
using TestImages::EncodePng;
using TestImages::PngPicture;

uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::vector<uint8_t> Rgb2x2Jpeg() {
  // Flat halves survive quality-100 compression almost exactly: red on the left, blue on the right.
  std::vector<uint8_t> samples;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const bool left = x < 8;
      samples.insert(samples.end(), {uint8_t(left ? 200 : 20), uint8_t(40), uint8_t(left ? 30 : 220)});
    }
  }
  return EncodeJpeg(16, 16, 3, samples);
}

void ExpectPixel(const DecodedImage& image, uint32_t x, uint32_t y, std::array<int, 4> expected, int tolerance) {
  const uint8_t* pixel = image.rgba8.data() + (size_t(y) * image.width + x) * 4;
  for (int c = 0; c < 4; ++c) {
    EXPECT_NEAR(pixel[c], expected[c], tolerance) << "pixel " << x << ", " << y << " channel " << c;
  }
}

TEST(TextureFiles, JpegColourAndGreyComeOutAsOpaqueRgba) {
  DecodedImage image;
  std::string error;
  const std::vector<uint8_t> colour = Rgb2x2Jpeg();
  ASSERT_TRUE(DecodeImageFile(colour.data(), colour.size(), &image, &error)) << error;
  ASSERT_EQ(image.width, 16u);
  ASSERT_EQ(image.height, 16u);
  EXPECT_FALSE(image.IsFloat());
  ExpectPixel(image, 1, 3, {200, 40, 30, 255}, 4);
  ExpectPixel(image, 14, 12, {20, 40, 220, 255}, 4);

  // Grey rows: dark on top, light below.
  std::vector<uint8_t> grey;
  for (int y = 0; y < 16; ++y) grey.insert(grey.end(), 16, uint8_t(y < 8 ? 30 : 230));
  const std::vector<uint8_t> greyFile = EncodeJpeg(16, 16, 1, grey);
  ASSERT_TRUE(DecodeImageFile(greyFile.data(), greyFile.size(), &image, &error)) << error;
  ExpectPixel(image, 5, 2, {30, 30, 30, 255}, 2);
  ExpectPixel(image, 5, 13, {230, 230, 230, 255}, 2);
}

TEST(TextureFiles, PngOfEveryColourTypeComesOutAsRgba) {
  struct Case {
    const char* name;
    PngPicture picture;
    std::array<int, 4> first;
    std::array<int, 4> second;
  };
  PngPicture palette{2, 1, PNG_COLOR_TYPE_PALETTE, 8, {{1, 0}}, {{10, 20, 30}, {40, 50, 60}}, {255, 128}};
  std::vector<Case> cases = {
      {"grey", {2, 1, PNG_COLOR_TYPE_GRAY, 8, {{7, 250}}, {}, {}}, {7, 7, 7, 255}, {250, 250, 250, 255}},
      {"grey 1-bit", {2, 1, PNG_COLOR_TYPE_GRAY, 1, {{0x80}}, {}, {}}, {255, 255, 255, 255}, {0, 0, 0, 255}},
      {"grey+alpha", {2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {{9, 100, 90, 0}}, {}, {}}, {9, 9, 9, 100}, {90, 90, 90, 0}},
      {"rgb", {2, 1, PNG_COLOR_TYPE_RGB, 8, {{1, 2, 3, 4, 5, 6}}, {}, {}}, {1, 2, 3, 255}, {4, 5, 6, 255}},
      {"rgba", {2, 1, PNG_COLOR_TYPE_RGBA, 8, {{1, 2, 3, 4, 5, 6, 7, 8}}, {}, {}}, {1, 2, 3, 4}, {5, 6, 7, 8}},
      {"palette with transparency", palette, {40, 50, 60, 128}, {10, 20, 30, 255}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const std::vector<uint8_t> file = EncodePng(test.picture);
    DecodedImage image;
    std::string error;
    ASSERT_TRUE(DecodeImageFile(file.data(), file.size(), &image, &error)) << error;
    ASSERT_EQ(image.width, 2u);
    ASSERT_EQ(image.height, 1u);
    ExpectPixel(image, 0, 0, test.first, 0);
    ExpectPixel(image, 1, 0, test.second, 0);
  }

  // 16 bits a channel keep their precision as floats: 0x8000 is not 128/255.
  PngPicture wide{1, 2, PNG_COLOR_TYPE_RGB, 16, {{0x80, 0x00, 0xFF, 0xFF, 0x00, 0x01}, {0, 0, 0, 0, 0, 0}}, {}, {}};
  const std::vector<uint8_t> file = EncodePng(wide);
  DecodedImage image;
  std::string error;
  ASSERT_TRUE(DecodeImageFile(file.data(), file.size(), &image, &error)) << error;
  ASSERT_TRUE(image.IsFloat());
  ASSERT_EQ(image.rgbaFloat.size(), 8u);
  EXPECT_FLOAT_EQ(image.rgbaFloat[0], 32768.0f / 65535.0f);
  EXPECT_FLOAT_EQ(image.rgbaFloat[1], 1.0f);
  EXPECT_FLOAT_EQ(image.rgbaFloat[2], 1.0f / 65535.0f);
  EXPECT_FLOAT_EQ(image.rgbaFloat[3], 1.0f);
  EXPECT_FLOAT_EQ(image.rgbaFloat[4], 0.0f);
}

TEST(TextureFiles, DamagedDataFailsWithAReason) {
  const std::vector<uint8_t> jpeg = Rgb2x2Jpeg();
  const std::vector<uint8_t> png = EncodePng({2, 1, PNG_COLOR_TYPE_RGB, 8, {{1, 2, 3, 4, 5, 6}}, {}, {}});
  std::vector<uint8_t> badCrc = png;
  badCrc[20] ^= 0x01;  // a bit of the header's width, now out of step with its checksum
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> damaged = {
      {"jpeg cut short", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + jpeg.size() / 2)},
      {"jpeg header only", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 20)},
      {"png cut short", std::vector<uint8_t>(png.begin(), png.end() - 20)},
      {"png with a bad checksum", badCrc},
      {"neither", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}},
      {"empty", {}},
  };
  for (const auto& [name, bytes] : damaged) {
    SCOPED_TRACE(name);
    DecodedImage image;
    std::string error;
    EXPECT_FALSE(DecodeImageFile(bytes.data(), bytes.size(), &image, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(image.rgba8.empty());
  }
}

TEST(TextureFiles, HugeSizesInHeadersAreRefused) {
  std::vector<uint8_t> jpeg = Rgb2x2Jpeg();
  size_t frame = 0;
  while (frame + 1 < jpeg.size() && !(jpeg[frame] == 0xFF && jpeg[frame + 1] == 0xC0)) ++frame;
  ASSERT_LT(frame + 9, jpeg.size());
  // 32767 x 32767: within what libjpeg takes, beyond what a texture may be.
  const uint8_t sides[4] = {0x7F, 0xFF, 0x7F, 0xFF};
  std::copy(sides, sides + 4, jpeg.begin() + long(frame) + 5);
  DecodedImage image;
  std::string error;
  EXPECT_FALSE(DecodeImageFile(jpeg.data(), jpeg.size(), &image, &error));
  EXPECT_NE(error.find("too large"), std::string::npos) << error;

  // A PNG claiming 16384 x 16384 (within the side limit, beyond the pixel limit), checksum intact.
  std::vector<uint8_t> png = EncodePng({2, 1, PNG_COLOR_TYPE_RGB, 8, {{1, 2, 3, 4, 5, 6}}, {}, {}});
  const uint8_t side[4] = {0x00, 0x00, 0x40, 0x00};
  std::copy(side, side + 4, png.begin() + 16);
  std::copy(side, side + 4, png.begin() + 20);
  const uint32_t crc = Crc32(png.data() + 12, 17);
  for (int i = 0; i < 4; ++i) png[29 + i] = uint8_t(crc >> (24 - 8 * i));
  error.clear();
  EXPECT_FALSE(DecodeImageFile(png.data(), png.size(), &image, &error));
  EXPECT_NE(error.find("too large"), std::string::npos) << error;
}

}  // namespace
}  // namespace Platform
