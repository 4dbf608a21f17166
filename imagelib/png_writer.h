#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

namespace ImageLib {

// Writes a 16-bit grey image (rows from the top, one native-endian 16-bit value per pixel,
// rows packed) as a PNG through libpng, with no gamma or colour chunk: the values are data,
// written as given. Errors inside the library, and a stream that cannot be written, print what
// failed with `name` on stderr and return false. The caller opens and closes the file. When
// `abandon` is given and becomes true, the write stops within a few rows and returns false
// without a message.
bool WritePngGrey16(std::FILE* file, const char* name, const uint16_t* grey, uint32_t width, uint32_t height,
                    const std::atomic<bool>* abandon = nullptr);

// The same for an 8-bit RGBA picture (four bytes a pixel, rows from the top, rows packed).
bool WritePngRgba8(std::FILE* file, const char* name, const uint8_t* rgba, uint32_t width, uint32_t height);

// The largest width or height we write; PNG itself allows more, but nothing we make needs it.
inline constexpr uint32_t kMaxPngDimension = 65535;

}  // namespace ImageLib
