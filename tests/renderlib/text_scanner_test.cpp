#include "renderlib/text_scanner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/renderlib/temporary_folder.h"

using RenderLib::ParseFloat;
using RenderLib::TextScanner;

namespace {

// Compares ParseFloat with strtof on text: same value (bit for bit, any NaN for NaN) and
// the same number of characters taken.
void ExpectLikeStrtof(const std::string& text) {
  char* strtofEnd = nullptr;
  float expected = std::strtof(text.c_str(), &strtofEnd);
  size_t expectedLength = size_t(strtofEnd - text.c_str());
  float value = 12345.0f;
  const char* after = ParseFloat(text.data(), text.data() + text.size(), value);
  ASSERT_EQ(size_t(after - text.data()), expectedLength) << '"' << text << '"';
  if (expectedLength == 0) return;
  if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(value)) << text;
  } else {
    uint32_t a, b;
    std::memcpy(&a, &expected, 4);
    std::memcpy(&b, &value, 4);
    EXPECT_EQ(a, b) << '"' << text << "\" gives " << value << ", strtof " << expected;
  }
}

}  // namespace

TEST(ParseFloat, ReadsWhatStrtofReads) {
  for (const char* text : {"1e-5", "-.5", "+1.0", "1.", ".", "-", "+", "+-1", "1e", "1e+", "1e+3x", "0x1p3",
                           "-0x1.8p1", "0x", "0xg", "inf", "-infinity", "nan", "NaN", "1e39", "-1e39", "1e-50",
                           "1e-40", "16777217", "16777216", "0.1", "3.4028235e38", "3.4028236e38", "00000000001.5",
                           "0.12345678901234567890", "1.5f", "1,5", "", "abc", "9999999999999999999999"}) {
    ExpectLikeStrtof(text);
  }
  // Random decimal forms in the ranges model files use, with and without the quick path.
  std::mt19937 random(11);
  std::uniform_int_distribution<int> digits(0, 12), digit(0, 9), sign(0, 2), exponent(-45, 45);
  for (int i = 0; i < 20000; ++i) {
    std::string text = sign(random) == 0 ? "-" : sign(random) == 0 ? "+" : "";
    for (int n = digits(random); n > 0; --n) text += char('0' + digit(random));
    if (sign(random) != 0) {
      text += '.';
      for (int n = digits(random); n > 0; --n) text += char('0' + digit(random));
    }
    if (sign(random) == 0) text += "e" + std::to_string(exponent(random));
    ExpectLikeStrtof(text);
  }
}

TEST(TextScanner, TokensLinesAndNumbers) {
  TemporaryFolder folder;
  std::string path = folder.Write("scan.txt",
                                  "first  token\r\n"
                                  "\n"
                                  "  96.7 -2147483649 x\n" +
                                      std::string(1500, 'y') + " tail\n" + "+7 -0 0 3 4\n");
  TextScanner scanner;
  ASSERT_TRUE(scanner.Open(path.c_str()));
  EXPECT_EQ(scanner.Token(255), "first");
  EXPECT_EQ(scanner.LineToken(255), "token");
  EXPECT_EQ(scanner.LineToken(255), "");  // the CR belongs to the line end, not a token
  scanner.SkipLine();
  EXPECT_EQ(scanner.Line(), 2);

  int32_t value = 0;
  EXPECT_FALSE(scanner.ReadInt(value));  // numbers are looked for on the current line only
  EXPECT_EQ(scanner.Line(), 2);
  scanner.SkipLine();
  ASSERT_TRUE(scanner.ReadInt(value));
  EXPECT_EQ(value, 96);  // stops at the decimal point
  EXPECT_EQ(scanner.Peek(), '.');
  scanner.Advance();
  ASSERT_TRUE(scanner.ReadInt(value));
  EXPECT_EQ(value, 7);
  ASSERT_TRUE(scanner.ReadInt(value));
  EXPECT_EQ(value, INT32_MIN);  // clamped
  EXPECT_FALSE(scanner.ReadInt(value));
  scanner.SkipLine();

  // A line longer than the skip limit goes on as tokens.
  EXPECT_EQ(scanner.Token(255), std::string(255, 'y'));
  scanner.SkipLine();
  EXPECT_EQ(scanner.Token(255), std::string(245, 'y'));
  scanner.SkipLine();
  EXPECT_EQ(scanner.Line(), 5);

  // 1-based indices up to the limit; a sign other than '+', 0 or beyond the limit is refused.
  int32_t indices[5];
  for (int32_t& index : indices) {
    scanner.SkipBlanks();
    index = scanner.ReadIndex(5);
  }
  EXPECT_EQ(std::vector<int32_t>(indices, indices + 5), (std::vector<int32_t>{-1, -1, -1, 2, 3}));
  scanner.SkipLine();
  EXPECT_TRUE(scanner.AtEnd());
  EXPECT_EQ(scanner.Token(255), "");
}
