#include "framework/ui_text.h"

#include "platform/text_layout.h"

std::string_view TruncateCodePoints(std::string_view text, size_t maxCodePoints) {
  size_t offset = 0;
  for (size_t count = 0; count < maxCodePoints && offset < text.size(); ++count) Platform::DecodeUtf8(text, offset);
  return text.substr(0, offset);
}

void AppendUtf8(std::string& text, char32_t codePoint) {
  if ((codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) codePoint = Platform::kReplacementCharacter;
  if (codePoint < 0x80) {
    text += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    text += static_cast<char>(0xC0 | (codePoint >> 6));
    text += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    text += static_cast<char>(0xE0 | (codePoint >> 12));
    text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | (codePoint >> 18));
    text += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

std::string EncodeUtf8(std::u32string_view text) {
  std::string result;
  result.reserve(text.size());
  for (char32_t codePoint : text) AppendUtf8(result, codePoint);
  return result;
}
