#include "platform_os/ranged_number.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>

namespace Platform {
namespace {

constexpr WholeRange kTons{1, 1000000};

TEST(RangedNumber, WholeNumbersInRangeAreTakenAndOthersGoToTheNearestBound) {
  // Every whole number typed plainly, against the same range checked by hand.
  std::mt19937_64 random(7);
  std::uniform_int_distribution<int64_t> any(-3000000, 3000000);
  for (int i = 0; i < 2000; ++i) {
    const int64_t typed = any(random);
    const NumberReading<int64_t> reading = ReadWholeNumber(std::to_string(typed), kTons);
    const int64_t expected = typed < kTons.lowest ? kTons.lowest : typed > kTons.highest ? kTons.highest : typed;
    ASSERT_EQ(reading.value, expected) << typed;
    ASSERT_EQ(reading.verdict, expected == typed ? NumberVerdict::kTaken : NumberVerdict::kClamped) << typed;
  }
  EXPECT_EQ(ReadWholeNumber(" +7\t", kTons).value, 7);
  EXPECT_EQ(ReadWholeNumber("99999999999999999999999", kTons).value, 1000000);
  EXPECT_EQ(ReadWholeNumber("-99999999999999999999999", kTons).value, 1);
  const WholeRange everything{std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()};
  EXPECT_EQ(ReadWholeNumber("-9223372036854775808", everything).verdict, NumberVerdict::kTaken);
  EXPECT_EQ(ReadWholeNumber("9223372036854775807", everything).verdict, NumberVerdict::kTaken);
  EXPECT_EQ(ReadWholeNumber("9223372036854775808", everything).verdict, NumberVerdict::kClamped);
}

TEST(RangedNumber, TextThatIsNoWholeNumberIsRefused) {
  for (const char* text : {"", " ", "+", "-", "2.5", "5x", "x5", "0x10", "1e3", "- 5", "--5", "5 5", "٣"}) {
    EXPECT_EQ(ReadWholeNumber(text, kTons).verdict, NumberVerdict::kRefused) << text;
  }
}

TEST(RangedNumber, RealNumbersAreClampedAndNonNumbersRefused) {
  const RealRange share{0.0, 1.0};
  EXPECT_EQ(ReadRealNumber(" .5 ", share).value, 0.5);
  EXPECT_EQ(ReadRealNumber("1e-3", share).value, 0.001);
  const NumberReading<double> above = ReadRealNumber("1.5", share);
  EXPECT_EQ(above.value, 1.0);
  EXPECT_EQ(above.verdict, NumberVerdict::kClamped);
  EXPECT_EQ(ReadRealNumber("-1e999", share).value, 0.0);
  EXPECT_EQ(ReadRealNumber("1e999", share).value, 1.0);
  EXPECT_EQ(ReadRealNumber("1e-999", share).verdict, NumberVerdict::kTaken);
  for (const char* text : {"", ".", "e5", "inf", "nan", "-infinity", "0x1p-2", "0.5.5", "1e", "0,5"}) {
    EXPECT_EQ(ReadRealNumber(text, share).verdict, NumberVerdict::kRefused) << text;
  }
}

TEST(RangedNumber, OptionsSayWhatWasClampedAndWhatTheyTake) {
  int64_t value = 5;
  std::string note = "stale";
  std::string error;
  EXPECT_TRUE(ReadWholeOption("--tons", "3", kTons, &value, &note, &error));
  EXPECT_EQ(value, 3);
  EXPECT_EQ(note, "");
  EXPECT_TRUE(ReadWholeOption("--tons", "0", kTons, &value, &note, &error));
  EXPECT_EQ(value, 1);
  EXPECT_EQ(note, "--tons 0 is outside 1..1000000; using 1");
  EXPECT_FALSE(ReadWholeOption("--tons", "many", kTons, &value, &note, &error));
  EXPECT_EQ(value, 1);
  EXPECT_EQ(error, "--tons takes a whole number from 1 to 1000000, not 'many'");

  double factor = 0.0;
  EXPECT_TRUE(ReadRealOption("--rust-factor", "2", {0.0, 1.0}, &factor, &note, &error));
  EXPECT_EQ(factor, 1.0);
  EXPECT_EQ(note, "--rust-factor 2 is outside 0..1; using 1");
  EXPECT_FALSE(ReadRealOption("--distance", "far", {1.05, 100.0}, &factor, &note, &error));
  EXPECT_EQ(error, "--distance takes a number from 1.05 to 100, not 'far'");
}

}  // namespace
}  // namespace Platform
