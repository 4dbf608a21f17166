#include "renderlib/byte_string.h"

#include <cstring>
#include <utility>

namespace RenderLib {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

String::String(const char* text) { Append(text); }

String::String(const char* text, size_t count) { Append(text, count); }

String::String(const String& other) { Append(other.data, other.length); }

String::String(String&& other) noexcept { *this = std::move(other); }

String::~String() {
  if (!IsInline()) delete[] data;
}

String& String::operator=(const String& other) {
  if (this != &other) {
    Truncate(0);
    Append(other.data, other.length);
  }
  return *this;
}

String& String::operator=(String&& other) noexcept {
  if (this == &other) return *this;
  if (!other.IsInline()) {
    if (!IsInline()) delete[] data;
    data = other.data;
    capacity = other.capacity;
    length = other.length;
    other.data = other.inlineStorage;
    other.capacity = kInlineCapacity;
  } else {
    // Fits the inline storage of the source, so it fits whatever this one holds.
    std::memcpy(data, other.data, other.length + 1);
    length = other.length;
  }
  other.length = 0;
  other.data[0] = '\0';
  return *this;
}

String& String::operator=(const char* text) {
  if (text >= data && text <= data + length) {
    // Assigning a piece of ourselves: keep a copy before the storage is touched.
    String copy(text);
    return *this = std::move(copy);
  }
  Truncate(0);
  return Append(text);
}

String& String::Append(const char* text) { return Append(text, text != nullptr ? std::strlen(text) : 0); }

String& String::Append(const char* text, size_t count) {
  if (count == 0) return *this;
  if (length + count + 1 > capacity) {
    // The text may point into our own storage, which Reserve frees.
    if (text >= data && text < data + capacity) {
      String copy(text, count);
      return Append(copy.data, count);
    }
    Reserve(length + count + 1);
  }
  std::memmove(data + length, text, count);
  length += count;
  data[length] = '\0';
  return *this;
}

String& String::Append(char c) { return Append(&c, 1); }

void String::Truncate(size_t n) {
  if (n >= length) return;
  length = n;
  data[length] = '\0';
}

void String::Reserve(size_t bytes) {
  if (bytes <= capacity) return;
  // Multiples of 8 bytes, growing by at least half so that repeated appends stay linear.
  size_t grown = capacity + capacity / 2;
  size_t wanted = (bytes > grown ? bytes : grown) + 7;
  wanted -= wanted % 8;
  char* storage = new char[wanted];
  std::memcpy(storage, data, length + 1);
  if (!IsInline()) delete[] data;
  data = storage;
  capacity = wanted;
}

void String::StripFilename() {
  size_t cut = length;
  while (cut > 0 && !IsSeparator(data[cut - 1])) --cut;
  if (cut == 0) {
    Truncate(0);
  } else {
    // cut - 1 is the separator; a separator at the very start is the root and stays.
    Truncate(cut - 1 == 0 ? 1 : cut - 1);
  }
}

void String::AppendPath(const char* name, char separator) {
  if (name == nullptr || name[0] == '\0') return;
  if (length > 0 && !IsSeparator(data[length - 1])) Append(separator);
  if (name[0] == separator) ++name;
  String converted(name);
  for (size_t i = 0; i < converted.length; ++i) {
    if (converted.data[i] == '\\') converted.data[i] = separator;
  }
  Append(converted.data, converted.length);
}

void String::SetFileExtension(const char* extension) {
  for (size_t i = length; i > 0; --i) {
    char c = data[i - 1];
    if (IsSeparator(c)) break;
    if (c == '.') {
      Truncate(i - 1);
      break;
    }
  }
  if (extension == nullptr) extension = "";
  if (extension[0] != '.') Append('.');
  Append(extension);
}

bool operator==(const String& a, const String& b) {
  return a.Length() == b.Length() && std::memcmp(a.CStr(), b.CStr(), a.Length()) == 0;
}

bool operator==(const String& a, const char* b) { return std::strcmp(a.CStr(), b != nullptr ? b : "") == 0; }

}  // namespace RenderLib
