#pragma once

#include <cstdint>

namespace Platform {

inline constexpr uint32_t kReplacementCharacter = 0xFFFD;

// The code point that starts at text, moving text past it; 0 at the terminator. A malformed,
// overlong or surrogate sequence gives U+FFFD and skips one byte, so bad input never stalls.
uint32_t NextCodePoint(const char*& text);

}  // namespace Platform
