#include "platform/utf8_decoding.h"

namespace Platform {

uint32_t NextCodePoint(const char*& text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  const unsigned char lead = bytes[0];
  if (lead == 0) return 0;
  if (lead < 0x80) {
    ++text;
    return lead;
  }
  int length = 0;
  uint32_t codePoint = 0;
  uint32_t smallest = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, codePoint = lead & 0x1Fu, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, codePoint = lead & 0x0Fu, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, codePoint = lead & 0x07u, smallest = 0x10000;
  } else {
    ++text;
    return kReplacementCharacter;
  }
  for (int i = 1; i < length; ++i) {
    // A terminator here fails the test too, so nothing is read past it.
    if ((bytes[i] & 0xC0) != 0x80) {
      ++text;
      return kReplacementCharacter;
    }
    codePoint = (codePoint << 6) | (bytes[i] & 0x3Fu);
  }
  if (codePoint < smallest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    ++text;
    return kReplacementCharacter;
  }
  text += length;
  return codePoint;
}

}  // namespace Platform
