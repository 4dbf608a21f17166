#include "app/status_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Every character 7 pixels wide, the ellipsis one character.
int Measure(const std::string& text) {
  int width = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) width += 7;
  }
  return width;
}

TEST(StatusLine, WrapsAtSpacesAndSlashesAndCutsOnlyWhatCannotFit) {
  // 70 pixels: ten characters a line.
  EXPECT_EQ(WrapText("Done: 3 steps in 2.1 s.", 70, 0, Measure), "Done: 3\nsteps in\n2.1 s.");
  EXPECT_EQ(WrapText("in /home/ann/media", 70, 0, Measure), "in /home/\nann/media");
  EXPECT_EQ(WrapText("mask_humidity00", 70, 0, Measure), "mask_humid\nity00");
  EXPECT_EQ(WrapText("Run step 1\nMasks go", 70, 0, Measure), "Run step 1\nMasks go");
  EXPECT_EQ(WrapText("one two three four five six", 70, 2, Measure), "one two\nthree fou\xE2\x80\xA6");
  // A line narrower than one character still takes one, whole (never half a UTF-8 sequence).
  EXPECT_EQ(WrapText("\xC3\xA9\xC3\xA9", 5, 0, Measure), "\xC3\xA9\n\xC3\xA9");
  EXPECT_EQ(WrapText("", 70, 4, Measure), "");
}

}  // namespace
