#pragma once

#include <cstddef>
#include <cstdint>

namespace RenderLib {

// The library's 8-bit string: short texts (up to 15 characters) live in the object itself,
// longer ones on the heap in blocks whose size is a multiple of 8 bytes. Always
// zero-terminated. Used for file paths and thread names.
class String {
public:
  static constexpr size_t kInlineCapacity = 16;  // bytes, terminator included

  String() = default;
  String(const char* text);  // NOLINT: implicit on purpose, paths arrive as C strings
  String(const char* text, size_t length);
  String(const String& other);
  String(String&& other) noexcept;
  ~String();

  String& operator=(const String& other);
  String& operator=(String&& other) noexcept;
  String& operator=(const char* text);

  const char* CStr() const { return data; }
  size_t Length() const { return length; }
  bool Empty() const { return length == 0; }
  // Bytes of storage, terminator included: 16 while inline, a multiple of 8 on the heap.
  size_t Capacity() const { return capacity; }
  bool IsInline() const { return data == inlineStorage; }

  char operator[](size_t i) const { return data[i]; }

  String& Append(const char* text);
  String& Append(const char* text, size_t count);
  String& Append(char c);
  String& operator+=(const char* text) { return Append(text); }
  String& operator+=(const String& text) { return Append(text.data, text.length); }

  // Keeps the first n characters (nothing happens when the string is not longer).
  void Truncate(size_t n);
  void Clear() { Truncate(0); }

  // Cuts the string at its last '/' or '\\', leaving the directory part; a string with no
  // separator becomes empty. A path directly under the root keeps the root ("/a" gives "/").
  void StripFilename();

  // Adds name as a further path component: the separator goes between unless the string is
  // empty or already ends in '/' or '\\'; a first character of name equal to the separator is
  // skipped, and every '\\' of name is written as the separator. An empty name changes nothing.
  void AppendPath(const char* name, char separator);

  // Replaces the extension (the part from the last '.' of the last path component) with
  // extension, which may be given with or without its dot.
  void SetFileExtension(const char* extension);

private:
  void Reserve(size_t bytes);  // bytes of storage including the terminator

  char inlineStorage[kInlineCapacity] = {};
  char* data = inlineStorage;
  size_t length = 0;
  size_t capacity = kInlineCapacity;
};

bool operator==(const String& a, const String& b);
bool operator==(const String& a, const char* b);

}  // namespace RenderLib
