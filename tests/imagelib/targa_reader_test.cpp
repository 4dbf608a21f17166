#include "imagelib/targa_reader.h"

#include <gtest/gtest.h>

#include "tests/imagelib/image_test_files.h"

using namespace ImageLib;

namespace {

Bytes Header(int type, int width, int height, int depth) {
  return {0, 0, uint8_t(type), 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8),
          uint8_t(height), uint8_t(height >> 8), uint8_t(depth), 0};
}

// Pixels as a file holds them: bottom row first, B, G, R(, A) or 16-bit words.
struct Pixels {
  int width, height, depth;
  Bytes data;
  size_t Size() const { return depth == 16 ? 2 : depth / 8; }
  Bytes Uncompressed() const { return Header(depth == 8 ? 3 : 2, width, height, depth) + data; }

  // The same pixels in randomly chosen raw and run packets.
  Bytes RunLength(std::mt19937& random) const {
    Bytes file = Header(depth == 8 ? 11 : 10, width, height, depth);
    size_t count = data.size() / Size();
    auto at = [&](size_t i) { return data.begin() + ptrdiff_t(i * Size()); };
    for (size_t i = 0, run = 1; i < count; i += run, run = 1) {
      while (i + run < count && run < 128 && std::equal(at(i), at(i + 1), at(i + run))) ++run;
      bool asRun = run > 1 && random() % 4 != 0;
      if (!asRun) run = std::min<size_t>(count - i, 1 + random() % 128);
      file.push_back(uint8_t(asRun ? 127 + run : run - 1));
      file.insert(file.end(), at(i), at(i + (asRun ? 1 : run)));
    }
    return file;
  }
};

Decoded Load(const Bytes& file) { return DecodeWith(DecodeTarga, file); }

}  // namespace

TEST(TargaReader, FlipsRowsAndReordersChannelsAtEveryByteDepth) {
  std::mt19937 random(7);
  for (int depth : {8, 24, 32}) {
    for (int trial = 0; trial < 20; ++trial) {
      Pixels image{1 + int(random() % 7), 1 + int(random() % 7), depth, {}};
      for (size_t i = 0; i < image.width * image.height * image.Size(); ++i) image.data.push_back(random() % 256);
      Bytes expected;
      for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
          const uint8_t* p = &image.data[((image.height - 1 - y) * image.width + x) * image.Size()];
          if (depth == 8) expected.push_back(p[0]);
          else expected.insert(expected.end(), {p[2], p[1], p[0]});
          if (depth == 32) expected.push_back(p[3]);
        }
      }
      Decoded decoded = Load(image.Uncompressed());
      ASSERT_TRUE(decoded.ok) << depth;
      EXPECT_EQ(decoded.Samples(), expected) << depth << " " << image.width << "x" << image.height;
      EXPECT_EQ(decoded.image.channels, uint32_t(depth / 8));
    }
  }
}

TEST(TargaReader, ExpandsSixteenBitPixelsToBytes) {
  Decoded decoded = Load(Pixels{5, 1, 16, {0xFF, 0x7F, 0, 0x80, 0, 0x7C, 0xE0, 0x03, 0x1F, 0}}.Uncompressed());
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.Samples(), (Bytes{248, 248, 248, 0, 0, 0, 248, 0, 0, 0, 248, 0, 0, 0, 248}));
  EXPECT_EQ(decoded.image.channels, 3u);
}

TEST(TargaReader, RunLengthDecodesLikeUncompressedAtEveryDepth) {
  std::mt19937 random(11);
  for (int depth : {8, 16, 24, 32}) {
    for (int trial = 0; trial < 20; ++trial) {
      Pixels image{1 + int(random() % 40), 1 + int(random() % 12), depth, {}};
      Bytes colours[2];  // two colours, so that runs are common
      for (Bytes& colour : colours) {
        for (size_t c = 0; c < image.Size(); ++c) colour.push_back(random() % 256);
      }
      for (int i = 0; i < image.width * image.height; ++i) image.data = image.data + colours[random() % 3 == 0];
      Decoded plain = Load(image.Uncompressed());
      Decoded packed = Load(image.RunLength(random));
      ASSERT_TRUE(plain.ok && packed.ok) << depth;
      EXPECT_EQ(packed.Samples(), plain.Samples()) << depth;
      EXPECT_EQ(packed.image.channels, plain.image.channels);
    }
  }
}

TEST(TargaReader, PacketsRepeatOnePixelAndStopAtTheLastPixel) {
  Decoded decoded = Load(Header(10, 4, 1, 24) + Bytes{0x83, 10, 20, 30});
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.Samples(), (Bytes{30, 20, 10, 30, 20, 10, 30, 20, 10, 30, 20, 10}));
  // A 128-pixel run and a 128-pixel raw packet into 3-pixel images; grey pixels take one
  // byte each, also under the true-colour run-length type.
  EXPECT_TRUE(Load(Header(10, 3, 1, 32) + Bytes{0xFF, 1, 2, 3, 4}).ok);
  decoded = Load(Header(10, 3, 1, 8) + Bytes{0x7F, 5, 6, 7});
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.Samples(), (Bytes{5, 6, 7}));
}

TEST(TargaReader, SkipsIdFieldAndColourMapAndReadsWideImages) {
  Bytes file = Header(2, 1, 1, 24);
  file[0] = 3;                                          // ID length
  file[1] = 1, file[5] = 2, file[6] = 0, file[7] = 24;  // two 24-bit map entries
  Decoded decoded = Load(file + Bytes{9, 9, 9, 8, 8, 8, 7, 7, 7, 1, 2, 3});
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.Samples(), (Bytes{3, 2, 1}));
  // Sizes above 32767 are unsigned, not negative.
  decoded = Load(Pixels{40000, 1, 8, Bytes(40000, 77)}.Uncompressed());
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.image.width, 40000u);
}

TEST(TargaReader, RejectsBadHeadersAndShortData) {
  auto fails = [](const Bytes& file) { return !Load(file).ok; };
  EXPECT_TRUE(fails(Bytes(10, 0)));  // short header
  for (int depth : {0, 12, 20, 40}) EXPECT_TRUE(fails(Header(2, 1, 1, depth) + Bytes(8, 0))) << depth;
  // Run-length data turns down the same depths (15 bits was once read as one grey byte).
  for (int depth : {15, 12, 20, 40}) EXPECT_TRUE(fails(Header(10, 1, 1, depth) + Bytes{0x80, 1, 2, 3, 4, 5})) << depth;
  EXPECT_TRUE(fails(Header(1, 1, 1, 8) + Bytes{0}));  // colour-mapped
  EXPECT_TRUE(fails(Header(2, 0, 5, 8) + Bytes(5, 0)));
  // One byte short, raw and run-length.
  EXPECT_TRUE(fails(Header(2, 2, 2, 24) + Bytes(11, 0)));
  EXPECT_TRUE(fails(Header(2, 3, 1, 16) + Bytes(5, 0)));
  EXPECT_TRUE(fails(Header(10, 3, 1, 24) + Bytes{0x81, 1, 2, 3, 0x00, 1, 2}));
  EXPECT_TRUE(fails(Header(10, 3, 1, 24) + Bytes{0x81, 1, 2, 3}));
  // A 65535 x 65535 header on a tiny file is turned down before anything is allocated.
  for (int type : {2, 10, 11}) EXPECT_TRUE(fails(Header(type, 65535, 65535, type == 11 ? 8 : 32) + Bytes(100, 0xFF)));
}
