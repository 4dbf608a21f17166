#include "platform/utf8_decoding.h"

#include <gtest/gtest.h>

#include <vector>

namespace Platform {
namespace {

std::vector<uint32_t> Decode(const char* text) {
  std::vector<uint32_t> codePoints;
  while (uint32_t codePoint = NextCodePoint(text)) codePoints.push_back(codePoint);
  return codePoints;
}

TEST(Utf8Decoding, GivesCodePointsOfEveryLength) {
  EXPECT_EQ(Decode("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), (std::vector<uint32_t>{0x61, 0xE9, 0x20AC, 0x1F600}));
}

TEST(Utf8Decoding, MalformedBytesBecomeReplacementsAndNeverReadPastTheEnd) {
  constexpr uint32_t R = kReplacementCharacter;
  EXPECT_EQ(Decode("\xC3"), (std::vector<uint32_t>{R}));                      // cut short by the terminator
  EXPECT_EQ(Decode("\xE2\x82" "a"), (std::vector<uint32_t>{R, R, 'a'}));     // cut short by a plain byte
  EXPECT_EQ(Decode("\xC0\xAF"), (std::vector<uint32_t>{R, R}));             // overlong '/'
  EXPECT_EQ(Decode("\xED\xA0\x80"), (std::vector<uint32_t>{R, R, R}));      // a surrogate half
  EXPECT_EQ(Decode("\xF4\x90\x80\x80"), (std::vector<uint32_t>{R, R, R, R}));  // beyond U+10FFFF
  EXPECT_EQ(Decode("\xFF" "b"), (std::vector<uint32_t>{R, 'b'}));
}

}  // namespace
}  // namespace Platform
