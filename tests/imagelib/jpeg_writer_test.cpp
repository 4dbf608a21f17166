#include "imagelib/jpeg_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

#include "imagelib/image.h"
#include "tests/imagelib/image_test_files.h"
#include "tests/support/test_images.h"

namespace ImageLib {
namespace {

using TestImages::StreamBytes;

// Odd sizes, so that the picture ends inside the encoder's 16 x 16 blocks.
constexpr uint32_t kWidth = 97, kHeight = 61;

std::vector<uint8_t> Gradient(bool grey) {
  std::vector<uint8_t> rgb(kWidth * kHeight * 3);
  for (uint32_t y = 0; y < kHeight; ++y) {
    for (uint32_t x = 0; x < kWidth; ++x) {
      uint8_t* pixel = &rgb[(y * kWidth + x) * 3];
      pixel[0] = static_cast<uint8_t>(x * 255 / (kWidth - 1));
      pixel[1] = grey ? pixel[0] : static_cast<uint8_t>(y * 255 / (kHeight - 1));
      pixel[2] = grey ? pixel[0] : static_cast<uint8_t>(128 + 60 * std::sin(x * 0.05));
    }
  }
  return rgb;
}

TEST(JpegWriter, SmoothPicturesComeBackThroughTheReaderWithinJpegTolerance) {
  ScratchFolder folder;
  for (bool grey : {false, true}) {
    const std::vector<uint8_t> rgb = Gradient(grey);
    const std::string path = (folder.path / (grey ? "grey.jpg" : "colour.jpg")).string();
    ASSERT_TRUE(WriteJpegFile(path.c_str(), rgb.data(), kWidth, kHeight));
    ImageF image;
    ASSERT_TRUE(image.Load(path.c_str()));
    ASSERT_EQ(image.width, kWidth);
    ASSERT_EQ(image.height, kHeight);
    ASSERT_EQ(image.channels, 3u);
    double worst = 0, total = 0;
    for (size_t i = 0; i < rgb.size(); ++i) {
      const double error = std::abs(image.samples[i] * 255.0 - rgb[i]);
      worst = std::max(worst, error);
      total += error;
    }
    EXPECT_LE(worst, grey ? 2.0 : 6.0) << (grey ? "grey" : "colour");
    EXPECT_LE(total / rgb.size(), 1.0) << (grey ? "grey" : "colour");
    if (grey) {
      // Grey stays grey: no colour appears in a picture that had none.
      for (size_t i = 0; i < rgb.size(); i += 3) {
        ASSERT_EQ(image.samples[i], image.samples[i + 1]);
        ASSERT_EQ(image.samples[i], image.samples[i + 2]);
      }
    }
  }
}

TEST(JpegWriter, FailuresAreReportedAndTheProgramGoesOn) {
  ScratchFolder folder;
  const std::vector<uint8_t> rgb = Gradient(false);
  testing::internal::CaptureStderr();
  const std::filesystem::path missing = folder.path / "missing" / "out.jpg";
  EXPECT_FALSE(WriteJpegFile(missing.c_str(), rgb.data(), kWidth, kHeight));
  const std::filesystem::path sized = folder.path / "sized.jpg";
  EXPECT_FALSE(WriteJpegFile(sized.c_str(), rgb.data(), 0, kHeight));
  EXPECT_FALSE(WriteJpegFile(sized.c_str(), rgb.data(), kWidth, kHeight, 0));
  EXPECT_FALSE(std::filesystem::exists(sized));
  // A device that takes no data: the library's write error comes back as false, not an exit.
  if (std::FILE* full = std::fopen("/dev/full", "wb")) {
    EXPECT_FALSE(WriteJpeg(full, "/dev/full", rgb.data(), kWidth, kHeight));
    std::fclose(full);
  }
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("missing/out.jpg"), std::string::npos) << messages;
  EXPECT_NE(messages.find("/dev/full"), std::string::npos) << messages;
  EXPECT_TRUE(std::filesystem::is_empty(folder.path));
}


// The grey path hands the library its planes ready-made: the file must be the colour path's of
// R = G = B, byte for byte, including the padding of pictures that end inside a block (odd
// sizes, a picture narrower than a block and one a block wide) and a failing stream.
TEST(JpegWriter, GreyIsTheColourPathsFileOfEqualChannels) {
  for (const auto& [width, height] : {std::pair{kWidth, kHeight}, std::pair{5u, 3u}, std::pair{16u, 40u}}) {
    std::vector<uint8_t> grey(size_t(width) * height), rgb(3 * grey.size());
    for (size_t i = 0; i < grey.size(); ++i) {
      grey[i] = static_cast<uint8_t>((i * 37 + (i / width) * 11) ^ (i % 7 == 0 ? 0x5a : 0));
      rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = grey[i];
    }
    const std::vector<uint8_t> colour =
        StreamBytes([&](std::FILE* file) { return WriteJpeg(file, "colour", rgb.data(), width, height); });
    const std::vector<uint8_t> fromGrey =
        StreamBytes([&](std::FILE* file) { return WriteGreyJpeg(file, "grey", grey.data(), width, height); });
    EXPECT_GT(colour.size(), 100u);
    EXPECT_TRUE(colour == fromGrey) << width << " x " << height;
  }
  testing::internal::CaptureStderr();
  if (std::FILE* full = std::fopen("/dev/full", "wb")) {
    const std::vector<uint8_t> grey(size_t(kWidth) * kHeight, 200);
    EXPECT_FALSE(WriteGreyJpeg(full, "/dev/full", grey.data(), kWidth, kHeight));
    std::fclose(full);
  }
  EXPECT_NE(testing::internal::GetCapturedStderr().find("/dev/full"), std::string::npos);
}

}  // namespace
}  // namespace ImageLib
