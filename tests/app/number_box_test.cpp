#include "app/number_boxes.h"

#include <gtest/gtest.h>

namespace {

// What a box makes of the text typed into it once the user is done.
TEST(NumberBox, TakesWholeNumbersClampsToTheRangeAndRefusesTheRest) {
  struct Case {
    const char* text;
    int32_t value;
    NumberVerdict verdict;
  };
  const Case cases[] = {
      {"250", 250, NumberVerdict::Taken},       {" +7 ", 7, NumberVerdict::Taken},
      {"0", 1, NumberVerdict::Clamped},         {"-5", 1, NumberVerdict::Clamped},
      {"501", 500, NumberVerdict::Clamped},     {"99999999999999999999", 500, NumberVerdict::Clamped},
      {"", 42, NumberVerdict::Refused},         {"-", 42, NumberVerdict::Refused},
      {"2.5", 42, NumberVerdict::Refused},      {"5x", 42, NumberVerdict::Refused},
      {"abc", 42, NumberVerdict::Refused},      {"1 2", 42, NumberVerdict::Refused},
  };
  for (const Case& c : cases) {
    const NumberReading reading = ReadNumber(c.text, kDensityBox, 42);
    EXPECT_EQ(reading.value, c.value) << '"' << c.text << '"';
    EXPECT_EQ(reading.verdict, c.verdict) << '"' << c.text << '"';
  }
  EXPECT_EQ(NumberNotice(kDensityBox, "250", ReadNumber("250", kDensityBox, 42)), "");
  EXPECT_EQ(NumberNotice(kStepsBox, "5000", ReadNumber("5000", kStepsBox, 3)), "Steps is 1 to 1000: 5000 became 1000.");
  EXPECT_EQ(NumberNotice(kTonsPerStepBox, "2.5", ReadNumber("2.5", kTonsPerStepBox, 2000)),
            "Tons/Step takes whole numbers from 1 to 1000000: kept 2000.");
}

}  // namespace
