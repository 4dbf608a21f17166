#include "imagelib/png_reader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/imagelib/image_test_files.h"
#include "tests/support/test_images.h"

using namespace ImageLib;

namespace {

constexpr int kWidth = 7, kHeight = 5;  // odd sizes, so every interlace pass sees a ragged edge

// A random picture in one PNG colour type and depth, and the samples its decoding must give:
// palettes looked up, tRNS as an alpha channel, samples below 8 bits scaled to bytes.
struct Case {
  TestImages::PngPicture picture;
  uint32_t channels = 0;
  std::vector<uint32_t> expected;
};

Case MakeCase(int colorType, int depth, bool transparency, bool interlaced, std::mt19937& random) {
  const bool palette = colorType == PNG_COLOR_TYPE_PALETTE;
  const int fileChannels = colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : colorType == PNG_COLOR_TYPE_RGB ? 3
                           : colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 1;
  const uint32_t top = (1u << depth) - 1, full = depth == 16 ? 65535 : 255;
  const uint32_t entries = std::min(top + 1, 6u);
  Case test;
  test.picture = {kWidth, kHeight, colorType, depth, {}, {}, {}, {}, interlaced};
  for (uint32_t i = 0; palette && i < entries; ++i) {
    test.picture.palette.push_back({uint8_t(random()), uint8_t(random()), uint8_t(random())});
  }
  if (palette && transparency) test.picture.paletteAlpha = {0, 100};  // entries past these are opaque
  std::vector<uint32_t> samples(size_t(kWidth) * kHeight * fileChannels);
  for (uint32_t& sample : samples) sample = palette ? random() % entries : random() % (top + 1);
  if (transparency && !palette) {
    png_color_16 key{};
    key.gray = key.red = uint16_t(samples[0]);
    key.green = uint16_t(samples[fileChannels > 1 ? 1 : 0]);
    key.blue = uint16_t(samples[fileChannels > 2 ? 2 : 0]);
    test.picture.transparent = key;
  }
  for (int y = 0; y < kHeight; ++y) {
    std::vector<uint8_t> row((size_t(kWidth) * fileChannels * depth + 7) / 8);
    for (int i = 0; i < kWidth * fileChannels; ++i) {
      const uint32_t sample = samples[size_t(y) * kWidth * fileChannels + i];
      if (depth == 16) {
        row[2 * i] = uint8_t(sample >> 8);
        row[2 * i + 1] = uint8_t(sample);
      } else {
        row[i * depth / 8] |= uint8_t(sample << (8 - depth - i * depth % 8));
      }
    }
    test.picture.rows.push_back(row);
  }
  test.channels = palette ? 3 + transparency : fileChannels + transparency;
  for (size_t p = 0; p < samples.size() / fileChannels; ++p) {
    const uint32_t* pixel = &samples[p * fileChannels];
    if (palette) {
      const png_color& colour = test.picture.palette[pixel[0]];
      test.expected.insert(test.expected.end(), {colour.red, colour.green, colour.blue});
      if (transparency) test.expected.push_back(pixel[0] < 2 ? test.picture.paletteAlpha[pixel[0]] : 255);
      continue;
    }
    for (int c = 0; c < fileChannels; ++c) test.expected.push_back(depth < 8 ? pixel[c] * 255 / top : pixel[c]);
    if (transparency) test.expected.push_back(std::equal(pixel, pixel + fileChannels, samples.begin()) ? 0 : full);
  }
  return test;
}

}  // namespace

TEST(PngReader, EveryColourTypeDepthAndInterlacingDecodesToItsSamples) {
  struct Kind {
    int colorType;
    std::vector<int> depths;
    bool canHaveTransparency;
  };
  const Kind kinds[] = {
      {PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}, true},    {PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}, false},
      {PNG_COLOR_TYPE_RGB, {8, 16}, true},              {PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}, false},
      {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}, true},
  };
  std::mt19937 random(3);
  for (const Kind& kind : kinds) {
    for (int depth : kind.depths) {
      for (bool transparency : {false, true}) {
        if (transparency && !kind.canHaveTransparency) continue;
        for (bool interlaced : {false, true}) {
          SCOPED_TRACE(testing::Message() << "colour type " << kind.colorType << ", " << depth << " bits"
                                          << (transparency ? ", tRNS" : "") << (interlaced ? ", interlaced" : ""));
          const Case test = MakeCase(kind.colorType, depth, transparency, interlaced, random);
          const Decoded decoded = DecodeWith(DecodePng, TestImages::EncodePng(test.picture));
          ASSERT_TRUE(decoded.ok) << decoded.error;
          EXPECT_EQ(decoded.image.width, uint32_t(kWidth));
          EXPECT_EQ(decoded.image.height, uint32_t(kHeight));
          ASSERT_EQ(decoded.image.channels, test.channels);
          ASSERT_EQ(decoded.image.type, depth == 16 ? SampleType::Word : SampleType::Byte);
          std::vector<uint32_t> samples(decoded.image.SampleCount());
          for (size_t i = 0; i < samples.size(); ++i) {
            if (depth != 16) {
              samples[i] = decoded.Samples()[i];
            } else {
              uint16_t word;
              std::memcpy(&word, &decoded.Samples()[2 * i], 2);
              samples[i] = word;
            }
          }
          EXPECT_EQ(samples, test.expected);
        }
      }
    }
  }
}

TEST(PngReader, DamagedOrOversizedDataFailWithAReason) {
  const Bytes png = TestImages::EncodePng({2, 1, PNG_COLOR_TYPE_RGB, 8, {{1, 2, 3, 4, 5, 6}}, {}, {}, {}, false});
  Bytes badCrc = png;
  badCrc[20] ^= 0x01;  // a bit of the header's width, now out of step with its checksum
  // 16384 x 16384: beyond the pixel limit, with the header's checksum made to match.
  Bytes huge = png;
  for (size_t at : {16, 20}) std::copy_n(Bytes{0x00, 0x00, 0x40, 0x00}.begin(), 4, huge.begin() + ptrdiff_t(at));
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 12; i < 29; ++i) {
    crc ^= huge[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  for (int i = 0; i < 4; ++i) huge[29 + i] = uint8_t(~crc >> (24 - 8 * i));
  const std::pair<const char*, Bytes> damaged[] = {
      {"cut in the header", Bytes(png.begin(), png.begin() + 20)},
      {"cut in the pixels", Bytes(png.begin(), png.end() - 20)},
      {"cut before its end chunk", Bytes(png.begin(), png.end() - 6)},
      {"bad checksum", badCrc},
      {"not a PNG", Bytes(40, 0x5A)},
      {"empty", {}},
      {"too large", huge},
  };
  for (const auto& [name, bytes] : damaged) {
    const Decoded decoded = DecodeWith(DecodePng, bytes);
    EXPECT_FALSE(decoded.ok) << name;
    EXPECT_FALSE(decoded.error.empty()) << name;
  }
  EXPECT_NE(DecodeWith(DecodePng, huge).error.find("too large"), std::string::npos);
}
