#include "imagelib/jpeg_reader.h"

#include <gtest/gtest.h>

#include "tests/imagelib/image_test_files.h"
#include "tests/support/test_images.h"

using namespace ImageLib;

namespace {

// A smooth picture, so that it comes back within a few levels.
Bytes Gradient(int width, int height, int components) {
  Bytes pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < components; ++c) pixels.push_back(uint8_t(c == 0 ? x * 12 : c == 1 ? y * 20 : 128));
    }
  }
  return pixels;
}

Bytes EncodeJpeg(int width, int height, int components, bool progressive) {
  return TestImages::EncodeJpeg(width, height, components, Gradient(width, height, components), progressive);
}

// Offset of the frame header's precision byte (baseline or progressive); height and width follow.
size_t FrameHeader(const Bytes& file) {
  for (size_t i = 0; i + 9 < file.size(); ++i) {
    if (file[i] == 0xFF && (file[i + 1] == 0xC0 || file[i + 1] == 0xC2)) return i + 4;
  }
  ADD_FAILURE() << "no frame header";
  return 0;
}

}  // namespace

TEST(JpegReader, DecodesGreyAndRgbTopRowFirst) {
  for (int components : {1, 3}) {
    Bytes pixels = Gradient(16, 8, components);
    for (bool progressive : {false, true}) {
      Decoded decoded = DecodeWith(DecodeJpeg, EncodeJpeg(16, 8, components, progressive));
      ASSERT_TRUE(decoded.ok) << decoded.error;
      EXPECT_EQ(decoded.image.width, 16u);
      EXPECT_EQ(decoded.image.height, 8u);
      EXPECT_EQ(decoded.image.channels, uint32_t(components));
      EXPECT_EQ(decoded.image.type, SampleType::Byte);
      ASSERT_EQ(decoded.Samples().size(), pixels.size());
      for (size_t i = 0; i < pixels.size(); ++i) ASSERT_NEAR(decoded.Samples()[i], pixels[i], 4) << i;
    }
  }
}

// The library's own error manager would end the process on these, or paint the missing part
// grey; they must come back as false with the library's message, and the test going on shows
// the process lived.
TEST(JpegReader, CorruptAndTruncatedDataFailAndTheProcessGoesOn) {
  std::vector<Bytes> bad = {{}, {0xFF, 0xD8, 0xFF}, Bytes(300, 0x5A)};
  for (bool progressive : {false, true}) {
    Bytes good = EncodeJpeg(64, 32, 3, progressive);
    size_t frame = FrameHeader(good);
    for (size_t cut : {size_t(20), good.size() / 2, good.size() - 40, good.size() - 2}) {
      bad.emplace_back(good.begin(), good.begin() + ptrdiff_t(cut));
    }
    bad.push_back(good);
    bad.back()[frame] = 12;  // sample precision
    // Far larger than the data can fill, and past the size limit.
    for (int size : {8000, 65500}) {
      bad.push_back(good);
      bad.back()[frame + 1] = bad.back()[frame + 3] = uint8_t(size >> 8);
      bad.back()[frame + 2] = bad.back()[frame + 4] = uint8_t(size);
    }
  }
  for (size_t i = 0; i < bad.size(); ++i) {
    Decoded decoded = DecodeWith(DecodeJpeg, bad[i]);
    EXPECT_FALSE(decoded.ok) << i;
    EXPECT_FALSE(decoded.error.empty()) << i;
  }
}
