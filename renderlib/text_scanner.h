#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace RenderLib {

// Reads a text file into memory and hands out the pieces the OBJ and MTL readers ask for:
// whitespace-delimited tokens, numbers, and the rest of a line. Lines end at '\n'; a '\r'
// counts as blank space, so a CR before the LF is not part of the line. Everything stays
// inside the buffer: every step checks the end.
class TextScanner {
public:
  TextScanner() = default;
  TextScanner(const TextScanner&) = delete;
  TextScanner& operator=(const TextScanner&) = delete;
  ~TextScanner() { Close(); }

  // Reads the whole file; false, with the reason in error when given, when it cannot be opened
  // or read, is not a regular file (a FIFO, a device) or is larger than kMaxFileBytes.
  bool Open(const char* path, std::string* error = nullptr);
  void Close();

  // The whole text, for a quick look ahead before reading.
  std::string_view Text() const { return {begin, static_cast<size_t>(end - begin)}; }

  bool AtEnd() const { return cursor == end; }
  bool AtLineEnd() const { return cursor == end || *cursor == '\n'; }
  char Peek() const { return cursor == end ? '\n' : *cursor; }
  void Advance() { ++cursor; }
  // 1-based number of the line the cursor is on.
  int32_t Line() const { return line; }

  // Skips blanks, newlines included, then takes up to maxLength characters of a token.
  // Empty only at the end of the input.
  std::string_view Token(size_t maxLength);

  // Like Token, but stays on the current line: empty when the line holds no further token.
  std::string_view LineToken(size_t maxLength);

  // Skips spaces, tabs and the other blanks that are not '\n'.
  void SkipBlanks() {
    while (cursor != end && IsBlank(*cursor)) ++cursor;
  }

  // Skips the rest of the line: at most kMaxLineSkip characters, through the newline.
  // A longer line goes on as further tokens.
  void SkipLine();

  // Moves to the newline that ends the current line (or the end of the input), however far.
  void SkipToLineEnd();

  // A number on the current line after blanks, with strtof's syntax (sign, decimal or hex
  // digits, exponent, inf, nan). False, with the cursor after the blanks, when none is there.
  bool ReadFloat(float& value);

  // A signed decimal integer on the current line after blanks; reading stops at the first
  // non-digit, so "96.5" gives 96. Values beyond the 32-bit range are clamped.
  bool ReadInt(int32_t& value);

  // An unsigned decimal index at the cursor (no blanks skipped), 1-based, at most limit.
  // Returns the 0-based index, or -1 when there is no number, a sign other than '+', or a
  // value of 0 or above limit; the digits are consumed either way.
  int32_t ReadIndex(int32_t limit) {
    bool valid = true;
    if (cursor != end && (*cursor == '+' || *cursor == '-')) {
      valid = *cursor == '+';
      ++cursor;
    }
    if (cursor == end || !IsDigit(*cursor)) return -1;
    int64_t index = 0;
    for (; cursor != end && IsDigit(*cursor); ++cursor) {
      if (index <= limit) index = index * 10 + (*cursor - '0');
    }
    if (!valid || index == 0 || index > limit) return -1;
    return static_cast<int32_t>(index - 1);
  }

  static constexpr size_t kMaxLineSkip = 1000;
  // Larger text files are refused: their model would not fit in memory anyway.
  static constexpr uint64_t kMaxFileBytes = uint64_t(4) << 30;

  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }
  static bool IsSpace(char c) { return c == '\n' || IsBlank(c); }

private:
  std::vector<uint8_t> text;  // the whole file
  const char* begin = nullptr;
  const char* cursor = nullptr;
  const char* end = nullptr;
  int32_t line = 1;
};

// Parses a float the way strtof does over [begin, end) (no leading blanks). Returns the
// position after the number, or begin when there is none. Exposed for the tests.
const char* ParseFloat(const char* begin, const char* end, float& value);

}  // namespace RenderLib
