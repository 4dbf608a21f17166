#include "renderlib/text_scanner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>


using RenderLib::ParseFloat;

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
