#include "platform_os/ranged_number.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace Platform {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

template <class Number>
NumberReading<Number> Ranged(Number value, NumberRange<Number> range) {
  if (value < range.lowest) return {range.lowest, NumberVerdict::kClamped};
  if (value > range.highest) return {range.highest, NumberVerdict::kClamped};
  return {value, NumberVerdict::kTaken};
}

std::string Shown(int64_t value) { return std::to_string(value); }

std::string Shown(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

template <class Number>
bool ReadOption(std::string_view option, std::string_view text, NumberRange<Number> range,
                const NumberReading<Number>& reading, const char* kind, Number* value, std::string* note,
                std::string* error) {
  note->clear();
  if (reading.verdict == NumberVerdict::kRefused) {
    *error = std::string(option) + " takes " + kind + " from " + RangeText(range) + ", not '" + std::string(text) + "'";
    return false;
  }
  if (reading.verdict == NumberVerdict::kClamped) {
    *note = std::string(option) + " " + std::string(text) + " is outside " + Shown(range.lowest) + ".." +
            Shown(range.highest) + "; using " + Shown(reading.value);
  }
  *value = reading.value;
  return true;
}

}  // namespace

NumberReading<int64_t> ReadWholeNumber(std::string_view text, WholeRange range) {
  constexpr NumberReading<int64_t> kRefused{0, NumberVerdict::kRefused};
  text = Trimmed(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return kRefused;
  for (char c : text) {
    if (!IsDigit(c)) return kRefused;
  }
  // Past what an int64_t holds the exact value no longer matters: it lies beyond either bound.
  constexpr uint64_t kMostNegative = uint64_t(1) << 63;
  uint64_t magnitude = 0;
  const std::from_chars_result read = std::from_chars(text.data(), text.data() + text.size(), magnitude);
  if (read.ec == std::errc::result_out_of_range || magnitude > kMostNegative ||
      (!negative && magnitude == kMostNegative)) {
    return {negative ? range.lowest : range.highest, NumberVerdict::kClamped};
  }
  // Two's complement: the negation of 2^63 is the most negative int64_t.
  const int64_t value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return Ranged(value, range);
}

NumberReading<double> ReadRealNumber(std::string_view text, RealRange range) {
  constexpr NumberReading<double> kRefused{0.0, NumberVerdict::kRefused};
  text = Trimmed(text);
  // Only the characters of a plain decimal number: strtod would take "inf", "nan" and "0x1p3".
  bool hasDigit = false;
  for (char c : text) {
    if (!IsDigit(c) && c != '+' && c != '-' && c != '.' && c != 'e' && c != 'E') return kRefused;
    hasDigit |= IsDigit(c);
  }
  if (!hasDigit) return kRefused;
  const std::string copy(text);
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size()) return kRefused;
  // An overflow comes back as an infinity, beyond either bound; an underflow as (nearly) zero.
  return Ranged(value, range);
}

std::string RangeText(WholeRange range) { return Shown(range.lowest) + " to " + Shown(range.highest); }
std::string RangeText(RealRange range) { return Shown(range.lowest) + " to " + Shown(range.highest); }

bool ReadWholeOption(std::string_view option, std::string_view text, WholeRange range, int64_t* value,
                     std::string* note, std::string* error) {
  return ReadOption(option, text, range, ReadWholeNumber(text, range), "a whole number", value, note, error);
}

bool ReadRealOption(std::string_view option, std::string_view text, RealRange range, double* value,
                    std::string* note, std::string* error) {
  return ReadOption(option, text, range, ReadRealNumber(text, range), "a number", value, note, error);
}

}  // namespace Platform
