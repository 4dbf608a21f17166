#include "renderlib/text_scanner.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#include "platform_os/file_system.h"

namespace RenderLib {
namespace {

bool IsDigit(char c) { return TextScanner::IsDigit(c); }

// from_chars reports a value beyond the float range without giving it; strtof on a copy of
// the same characters tells overflow (±inf) from underflow (±0 or a denormal).
float OutOfRangeValue(const char* begin, const char* end) {
  std::string copy(begin, end);
  return std::strtof(copy.c_str(), nullptr);
}

// The common form of model files, [sign]digits[.digits] with at most 24 bits of digits and at
// most ten decimals, is exact as float(digits) / 10^decimals: both operands are exact floats and
// the division rounds once, as strtof does. Returns nullptr for anything else.
const char* ParseShortDecimal(const char* p, const char* end, bool negative, float& value) {
  static constexpr float kPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
  constexpr uint32_t kExactLimit = 1u << 24;
  uint32_t mantissa = 0;
  const char* start = p;
  for (; p != end && IsDigit(*p); ++p) {
    mantissa = mantissa * 10 + static_cast<uint32_t>(*p - '0');
    if (mantissa > kExactLimit) return nullptr;
  }
  bool integerDigits = p != start;
  int decimals = 0;
  if (p != end && *p == '.') {
    ++p;
    for (; p != end && IsDigit(*p); ++p, ++decimals) {
      if (decimals == 10) return nullptr;
      mantissa = mantissa * 10 + static_cast<uint32_t>(*p - '0');
      if (mantissa > kExactLimit) return nullptr;
    }
  }
  if (!integerDigits && decimals == 0) return nullptr;  // "" or "."
  // An exponent, hex prefix or letters go the general way.
  if (p != end && (*p == 'e' || *p == 'E' || *p == 'x' || *p == 'X')) return nullptr;
  float magnitude = static_cast<float>(mantissa) / kPowersOfTen[decimals];
  value = negative ? -magnitude : magnitude;
  return p;
}

}  // namespace

const char* ParseFloat(const char* begin, const char* end, float& value) {
  const char* p = begin;
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  if (const char* after = ParseShortDecimal(p, end, negative, value)) return after;
  // from_chars takes no '+' and no "0x"; both are handled here.
  std::chars_format format = std::chars_format::general;
  const char* digits = p;
  if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    format = std::chars_format::hex;
    digits = p + 2;
  }
  float parsed = 0.0f;
  std::from_chars_result result = std::from_chars(digits, end, parsed, format);
  // from_chars would accept a second sign ("+-1"); strtof does not.
  bool signAgain = digits != end && (*digits == '+' || *digits == '-');
  if (signAgain || result.ec == std::errc::invalid_argument) {
    if (format != std::chars_format::hex) return begin;
    // "0x" without hex digits: strtof reads the 0 and stops at the 'x'.
    value = negative ? -0.0f : 0.0f;
    return p + 1;
  }
  if (result.ec == std::errc::result_out_of_range) {
    value = OutOfRangeValue(begin, result.ptr);
    return result.ptr;
  }
  value = negative ? -parsed : parsed;
  return result.ptr;
}

bool TextScanner::Open(const char* path, std::string* error) {
  Close();
  // The whole file is read into memory in one go (not mapped: another program shortening the
  // file while we read it must not be able to stop this one).
  std::string reason;
  if (path == nullptr || !Platform::ReadRegularFile(path, text, kMaxFileBytes, &reason)) {
    if (error != nullptr) *error = path == nullptr ? "no file named" : reason;
    return false;
  }
  begin = cursor = reinterpret_cast<const char*>(text.data());
  end = cursor + text.size();
  return true;
}

void TextScanner::Close() {
  text = {};
  begin = cursor = end = nullptr;
  line = 1;
}

std::string_view TextScanner::Token(size_t maxLength) {
  while (cursor != end && IsSpace(*cursor)) {
    if (*cursor == '\n') ++line;
    ++cursor;
  }
  const char* start = cursor;
  const char* limit = static_cast<size_t>(end - cursor) > maxLength ? cursor + maxLength : end;
  while (cursor != limit && !IsSpace(*cursor)) ++cursor;
  return {start, static_cast<size_t>(cursor - start)};
}

std::string_view TextScanner::LineToken(size_t maxLength) {
  SkipBlanks();
  if (AtLineEnd()) return {};
  return Token(maxLength);
}

void TextScanner::SkipLine() {
  if (cursor != end && *cursor == '\n') {
    ++cursor;
    ++line;
    return;
  }
  size_t span = static_cast<size_t>(end - cursor);
  if (span > kMaxLineSkip) span = kMaxLineSkip;
  const void* newline = span != 0 ? std::memchr(cursor, '\n', span) : nullptr;
  if (newline != nullptr) {
    cursor = static_cast<const char*>(newline) + 1;
    ++line;
  } else {
    cursor += span;
  }
}

void TextScanner::SkipToLineEnd() {
  size_t span = static_cast<size_t>(end - cursor);
  const void* newline = span != 0 ? std::memchr(cursor, '\n', span) : nullptr;
  cursor = newline != nullptr ? static_cast<const char*>(newline) : end;
}

bool TextScanner::ReadFloat(float& value) {
  SkipBlanks();
  const char* after = ParseFloat(cursor, end, value);
  if (after == cursor) return false;
  cursor = after;
  return true;
}

bool TextScanner::ReadInt(int32_t& value) {
  SkipBlanks();
  const char* p = cursor;
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  if (p == end || !IsDigit(*p)) return false;
  int64_t magnitude = 0;
  for (; p != end && IsDigit(*p); ++p) {
    if (magnitude <= INT32_MAX) magnitude = magnitude * 10 + (*p - '0');
  }
  if (negative) magnitude = -magnitude;
  value = magnitude > INT32_MAX ? INT32_MAX : magnitude < INT32_MIN ? INT32_MIN : static_cast<int32_t>(magnitude);
  cursor = p;
  return true;
}

}  // namespace RenderLib
