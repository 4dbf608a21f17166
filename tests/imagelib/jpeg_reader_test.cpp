#include "imagelib/jpeg_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

#include "imagelib/image.h"
#include "tests/imagelib/image_test_files.h"

using namespace ImageLib;

namespace {

// A smooth picture, coded at full quality without subsampling so it comes back within a few levels.
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
  Bytes pixels = Gradient(width, height, components);
  jpeg_compress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = width;
  info.image_height = height;
  info.input_components = components;
  info.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 100, TRUE);
  for (int c = 0; c < info.num_components; ++c) info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
  if (progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = &pixels[size_t(info.next_scanline) * width * components];
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes file(buffer, buffer + size);
  std::free(buffer);
  return file;
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

TEST(JpegReader, DecodesRgbTopRowFirst) {
  ScratchFolder folder;
  Bytes pixels = Gradient(16, 8, 3);
  for (bool progressive : {false, true}) {
    Decoded decoded = DecodeWith(DecodeJpeg, folder.Write("image.jpg", EncodeJpeg(16, 8, 3, progressive)));
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.description.width, 16);
    EXPECT_EQ(decoded.description.height, 8);
    EXPECT_EQ(decoded.description.channels, 3);
    EXPECT_EQ(decoded.description.formatCode, 7u);
    for (size_t i = 0; i < pixels.size(); ++i) ASSERT_NEAR(decoded.raw[i], pixels[i], 4) << i;
  }
}

TEST(JpegReader, OneComponentDecodesButDoesNotLoad) {
  ScratchFolder folder;
  std::string path = folder.Write("grey.jpg", EncodeJpeg(8, 4, 1, false));
  Decoded decoded = DecodeWith(DecodeJpeg, path);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.description.channels, 1);
  EXPECT_EQ(decoded.description.formatCode, 0u);

  ImageF image;
  EXPECT_FALSE(image.Load(path.c_str()));
  EXPECT_FALSE(image.valid);
  EXPECT_EQ(image.samples, nullptr);
  EXPECT_EQ(image.width, 8u);
}

// The library's own error manager would end the process on these; they must come back as
// false with the library's message on stderr, and the test going on shows the process lived.
TEST(JpegReader, CorruptAndTruncatedDataFailAndTheProcessGoesOn) {
  ScratchFolder folder;
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
    std::string path = folder.Write("bad.jpg", bad[i]);
    testing::internal::CaptureStderr();
    bool decoded = DecodeWith(DecodeJpeg, path).ok;
    std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(decoded) << i;
    EXPECT_NE(messages.find(path + ": "), std::string::npos) << i << ": " << messages;
  }
}

TEST(JpegReader, MissingFileSaysSo) {
  ScratchFolder folder;
  std::string path = (folder.path / "missing.jpg").string();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(DecodeWith(DecodeJpeg, path).ok);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "can't open " + path + "\n");
}
