#include "imagelib/png_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

namespace ImageLib {
namespace {

TEST(PngWriter, AStreamThatTakesNoMoreIsNamedWithTheSystemsReason) {
  // Noise, so that the compressed picture is larger than any buffer before the disk.
  std::vector<uint16_t> grey(512 * 512);
  uint32_t state = 1;
  for (uint16_t& value : grey) value = uint16_t((state = state * 1664525u + 1013904223u) >> 16);
  std::FILE* full = std::fopen("/dev/full", "wb");
  ASSERT_NE(full, nullptr);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(WritePngGrey16(full, "mask.png", grey.data(), 512, 512));
  std::fclose(full);
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("mask.png"), std::string::npos) << messages;
  EXPECT_NE(messages.find("No space left on device"), std::string::npos) << messages;

  // Abandoned, it stops without a word.
  std::FILE* sink = std::fopen("/dev/null", "wb");
  ASSERT_NE(sink, nullptr);
  const std::atomic<bool> abandon{true};
  testing::internal::CaptureStderr();
  EXPECT_FALSE(WritePngGrey16(sink, "mask.png", grey.data(), 512, 512, &abandon));
  EXPECT_TRUE(WritePngGrey16(sink, "mask.png", grey.data(), 512, 512));
  std::fclose(sink);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
}  // namespace ImageLib
