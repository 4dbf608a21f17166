#include "imagelib/radiance_reader.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/imagelib/image_test_files.h"

using namespace ImageLib;

namespace {

Bytes RadianceFile(const std::string& resolution, const Bytes& data = {}) {
  return Text("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n" + resolution + "\n") + data;
}

// One scanline coded component by component: runs of two or more equal values as run codes,
// the values between them as literal stretches.
Bytes ComponentRuns(const Bytes& rgbe) {
  size_t n = rgbe.size() / 4;
  Bytes out = {2, 2, uint8_t(n >> 8), uint8_t(n)};
  for (size_t c = 0; c < 4; ++c) {
    auto at = [&](size_t x) { return rgbe[4 * x + c]; };
    auto runAt = [&](size_t x) {
      size_t run = 1;
      while (x + run < n && run < 127 && at(x + run) == at(x)) ++run;
      return run;
    };
    for (size_t x = 0; x < n;) {
      if (size_t run = runAt(x); run > 1) {
        out = out + Bytes{uint8_t(128 + run), at(x)};
        x += run;
        continue;
      }
      size_t start = x;
      while (x < n && x - start < 128 && runAt(x) == 1) ++x;
      out.push_back(uint8_t(x - start));
      for (size_t i = start; i < x; ++i) out.push_back(at(i));
    }
  }
  return out;
}

std::vector<float> Expected(const Bytes& rgbe) {
  std::vector<float> out;
  for (size_t i = 0; i < rgbe.size(); i += 4) {
    for (int c = 0; c < 3; ++c) {
      out.push_back(rgbe[i + 3] == 0 ? 0.0f : float(std::ldexp(rgbe[i + c] / 256.0, rgbe[i + 3] - 128)));
    }
  }
  return out;
}

Decoded Load(const Bytes& file) { return DecodeWith(DecodeRadiance, file); }

}  // namespace

TEST(RadianceReader, ConvertsRgbeWithoutOffset) {
  Decoded decoded = Load(RadianceFile("-Y 1 +X 3", {128, 64, 0, 129, 255, 255, 255, 0, 128, 128, 128, 140}));
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.Floats(), (std::vector<float>{1.0f, 0.5f, 0.0f, 0, 0, 0, 2048, 2048, 2048}));
  EXPECT_EQ(decoded.image.channels, 3u);
  EXPECT_EQ(decoded.image.type, SampleType::Float);
}

TEST(RadianceReader, RunLengthAndFlatScanlinesDecodeAlike) {
  std::mt19937 random(5);
  for (int trial = 0; trial < 30; ++trial) {
    int width = 8 + int(random() % 300), height = 1 + int(random() % 4);
    Bytes pixels, packed;
    for (int i = 0; i < width * height; ++i) {
      // Repeats of the previous pixel make runs; a first byte of 1 or 2 would mean a code.
      if (i % width != 0 && random() % 2 == 0) pixels.insert(pixels.end(), pixels.end() - 4, pixels.end());
      else pixels = pixels + Bytes{uint8_t(3 + random() % 253), uint8_t(random()), uint8_t(random()), uint8_t(random())};
    }
    for (int y = 0; y < height; ++y) packed = packed + ComponentRuns(Bytes(&pixels[4 * y * width], &pixels[4 * (y + 1) * width]));
    std::string resolution = "-Y " + std::to_string(height) + " +X " + std::to_string(width);
    Decoded flat = Load(RadianceFile(resolution, pixels));
    Decoded runs = Load(RadianceFile(resolution, packed));
    ASSERT_TRUE(flat.ok && runs.ok);
    EXPECT_EQ(flat.Floats(), Expected(pixels));
    EXPECT_EQ(runs.Floats(), Expected(pixels)) << width << "x" << height;
  }
}

TEST(RadianceReader, LeadingTwoIsAFlatPixelUnlessItStartsComponentRuns) {
  // Width 7 is too narrow for component runs; at width 8, 2 must be followed by 2 and a byte
  // below 128.
  for (auto [width, pixels] : {std::pair{7, Bytes{2, 2, 0, 129}}, {8, {2, 3, 4, 129}}, {8, {2, 2, 128, 129}}}) {
    for (int i = 1; i < width; ++i) pixels = pixels + Bytes{10, 20, 30, 128};
    Decoded decoded = Load(RadianceFile("-Y 1 +X " + std::to_string(width), pixels));
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.Floats(), Expected(pixels));
  }
}

TEST(RadianceReader, RepeatCodesGrowByEightBitsInARow) {
  Bytes pixel = {64, 32, 16, 130};
  // 1 pixel, 2 repeats, then 1 << 8 more, then 41 ordinary pixels: 300 in all.
  Bytes file = pixel + Bytes{1, 1, 1, 2, 1, 1, 1, 1}, expected;
  for (int i = 0; i < 259; ++i) expected = expected + pixel;
  for (int i = 0; i < 41; ++i) {
    file = file + Bytes{100, uint8_t(i), 50, 129};
    expected = expected + Bytes{100, uint8_t(i), 50, 129};
  }
  Decoded decoded = Load(RadianceFile("-Y 1 +X 300", file));
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.Floats(), Expected(expected));
}

TEST(RadianceReader, AScanlineThatCannotBeReadFailsThePicture) {
  Bytes row;
  for (int x = 0; x < 8; ++x) row = row + Bytes{128, 0, 0, 129};
  Bytes runs = ComponentRuns(row);
  std::vector<Bytes> failing = {
      Bytes(row.begin(), row.begin() + 10),                   // cut short, flat
      Bytes(runs.begin(), runs.end() - 1),                    // cut short, runs
      {},                                                     // no second row at all
      {2, 2, 0, 8, 0x89, 1, 0x88, 2, 0x88, 3, 0x88, 129},     // a run passing the end
      {1, 1, 1, 1, 9, 9, 9, 129},                             // a repeat with nothing before it
      {9, 9, 9, 129, 1, 1, 1, 8},                             // a repeat passing the end
  };
  for (size_t i = 0; i < failing.size(); ++i) {
    // A whole row follows the bad ones that are not cut short.
    Decoded decoded = Load(RadianceFile("-Y 3 +X 8", row + failing[i] + (i < 3 ? Bytes{} : row)));
    EXPECT_FALSE(decoded.ok) << i;
    EXPECT_NE(decoded.error.find("row 2 of 3"), std::string::npos) << i << ": " << decoded.error;
    EXPECT_EQ(decoded.error.find("cut short") != std::string::npos, i < 3) << i << ": " << decoded.error;
  }
  EXPECT_TRUE(Load(RadianceFile("-Y 3 +X 8", row + runs + row)).ok);
}

TEST(RadianceReader, HeaderRules) {
  Bytes pixel = {128, 0, 0, 129};
  auto loads = [](const Bytes& file) { return Load(file).ok; };
  EXPECT_TRUE(loads(RadianceFile("-Y 1 +X 1", pixel)));
  EXPECT_TRUE(loads(Text("#?RADIANCE\n\n-Y  1   +X 1\n") + pixel));  // no header lines
  EXPECT_TRUE(loads(Text("#?RADIANCE\nA\nB\n\n-Y 1 +X 1 trailing words\n") + pixel));
  EXPECT_FALSE(loads(Text("#?RADIANCX\n\n-Y 1 +X 1\n") + pixel));
  EXPECT_FALSE(loads(Text("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n-Y 1 +X 1\n") + pixel));  // no empty line
  for (const char* resolution :
       {"+Y 1 +X 1", "-Y 1 -X 1", "+X 1 -Y 1", "-Y 0 +X 1", "-Y 1 +X -1", "-Y +X 1", "-Y 3000000000 +X 1", " -Y 1 +X 1"}) {
    EXPECT_FALSE(loads(RadianceFile(resolution, pixel))) << resolution;
  }
  EXPECT_FALSE(loads(RadianceFile("-Y 1 +X 1" + std::string(2048, ' '), pixel)));  // over-long line
}

TEST(RadianceReader, SizeIsBoundedByWhatTheFileCanHold) {
  // Small pictures get as far as their rows; larger ones may claim at most 64 pixels per byte
  // left before any memory is taken for them.
  EXPECT_NE(Load(RadianceFile("-Y 1000 +X 1000")).error.find("row 1 of 1000 is cut short"), std::string::npos);
  EXPECT_NE(Load(RadianceFile("-Y 65535 +X 65535", Bytes(100, 7))).error.find("too large"), std::string::npos);
  Bytes data(4000000 / 64 - 1, 7);
  EXPECT_NE(Load(RadianceFile("-Y 2000 +X 2000", data)).error.find("too large"), std::string::npos);
  data.push_back(7);
  EXPECT_NE(Load(RadianceFile("-Y 2000 +X 2000", data)).error.find("cut short"), std::string::npos);
}
