#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Numbers the user types (a command-line option, a number box of the window) read against the
// range the program allows. One rule everywhere: a number outside the range becomes its nearest
// bound, and the caller says so; text that is no number is refused, and the refusal names the
// range. A bound is the value nearest to what was asked, so a run goes ahead as close to the
// request as it can, and the note says what it used instead.
namespace Platform {

enum class NumberVerdict { kTaken, kClamped, kRefused };

template <class Number>
struct NumberRange {
  Number lowest;
  Number highest;
};
using WholeRange = NumberRange<int64_t>;
using RealRange = NumberRange<double>;

template <class Number>
struct NumberReading {
  Number value;  // the number to use; 0 when refused
  NumberVerdict verdict;
};

// White space around it, an optional sign and decimal digits, however many: "12", " -3 ",
// "+7", "99999999999999999999" (which is then its range's highest). Anything else ("", "2.5",
// "5x", "0x10") is refused.
NumberReading<int64_t> ReadWholeNumber(std::string_view text, WholeRange range);

// White space around a decimal number: "2", "-0.5", ".5", "1e-3". "inf", "nan" and hexadecimal
// numbers are refused; a number too large for a double is beyond every bound and clamped.
NumberReading<double> ReadRealNumber(std::string_view text, RealRange range);

// "1 to 500", "0 to 1": the range as help texts and refusals show it.
std::string RangeText(WholeRange range);
std::string RangeText(RealRange range);

// The value of a command-line option by the rule above. A clamped value is used and note says
// "--density 900 is outside 1..500; using 500"; refused text returns false with error saying
// "--density takes a whole number from 1 to 500, not 'ten'". note is emptied when the value
// was taken as typed.
bool ReadWholeOption(std::string_view option, std::string_view text, WholeRange range, int64_t* value,
                     std::string* note, std::string* error);
bool ReadRealOption(std::string_view option, std::string_view text, RealRange range, double* value,
                    std::string* note, std::string* error);

}  // namespace Platform
