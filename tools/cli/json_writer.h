#pragma once

#include <cstdio>
#include <type_traits>
#include <string>
#include <string_view>
#include <vector>

namespace PatinexCli {

// Writes one JSON document to a stream, keeping track of commas and nesting so that the
// commands only say what they print: Begin/EndObject, Begin/EndArray, Key, and values.
class JsonWriter {
public:
  explicit JsonWriter(FILE* out) : out(out) {}

  void BeginObject() { OpenScope('{'); }
  void EndObject() { CloseScope('}'); }
  void BeginArray() { OpenScope('['); }
  void EndArray() { CloseScope(']'); }

  void Key(std::string_view key) {
    Separate();
    WriteString(key);
    std::fputs(": ", out);
    afterKey = true;
  }

  void String(std::string_view value) { Separate(); WriteString(value); }
  void Bool(bool value) { Separate(); std::fputs(value ? "true" : "false", out); }
  void Null() { Separate(); std::fputs("null", out); }
  void Int(long long value) { Separate(); std::fprintf(out, "%lld", value); }
  void Unsigned(unsigned long long value) { Separate(); std::fprintf(out, "%llu", value); }
  // Non-finite numbers have no JSON form; they are written as null.
  void Number(double value) {
    Separate();
    if (value != value || value > 1.7976931348623157e308 || value < -1.7976931348623157e308) {
      std::fputs("null", out);
    } else {
      std::fprintf(out, "%.9g", value);
    }
  }

  template <class T>
  void Field(std::string_view key, const T& value) {
    Key(key);
    if constexpr (std::is_same_v<T, bool>) Bool(value);
    else if constexpr (std::is_floating_point_v<T>) Number(value);
    else if constexpr (std::is_signed_v<T>) Int(value);
    else if constexpr (std::is_unsigned_v<T>) Unsigned(value);
    else String(value);
  }

  // Ends the document with a line feed.
  void Finish() { std::fputc('\n', out); }

private:
  void OpenScope(char open) {
    Separate();
    std::fputc(open, out);
    firstInScope.push_back(true);
  }

  void CloseScope(char close) {
    bool empty = firstInScope.back();
    firstInScope.pop_back();
    if (!empty) Indent();
    std::fputc(close, out);
  }

  void Separate() {
    if (afterKey) {
      afterKey = false;
      return;
    }
    if (firstInScope.empty()) return;
    if (!firstInScope.back()) std::fputc(',', out);
    firstInScope.back() = false;
    Indent();
  }

  void Indent() {
    std::fputc('\n', out);
    for (size_t i = 0; i < firstInScope.size(); ++i) std::fputs("  ", out);
  }

  void WriteString(std::string_view text) {
    std::fputc('"', out);
    for (unsigned char c : text) {
      switch (c) {
        case '"': std::fputs("\\\"", out); break;
        case '\\': std::fputs("\\\\", out); break;
        case '\n': std::fputs("\\n", out); break;
        case '\r': std::fputs("\\r", out); break;
        case '\t': std::fputs("\\t", out); break;
        default:
          if (c < 0x20) std::fprintf(out, "\\u%04x", c);
          else std::fputc(c, out);
      }
    }
    std::fputc('"', out);
  }

  FILE* out;
  std::vector<bool> firstInScope;
  bool afterKey = false;
};

}  // namespace PatinexCli
