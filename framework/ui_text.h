#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 helpers for the controls, whose length limits count code points, not bytes.

// The first maxCodePoints code points of text (all of it when shorter); never cuts a sequence.
std::string_view TruncateCodePoints(std::string_view text, size_t maxCodePoints);
// Appends one code point as UTF-8 (U+FFFD for a surrogate or a value past U+10FFFF).
void AppendUtf8(std::string& text, char32_t codePoint);
std::string EncodeUtf8(std::u32string_view text);
