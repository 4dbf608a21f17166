#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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

// Encodes an 8-bit picture of `channels` channels (1 grey, 2 grey and alpha, 3 RGB, 4 RGBA; rows
// from the top, rows packed) as a PNG into bytes, with no gamma or colour chunk. compression is
// zlib's level, 0 (none) to 9 (smallest), or -1 for the library's default. False with the
// reason in error.
bool EncodePng8(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t channels, std::vector<uint8_t>* bytes,
                std::string* error, int compression = -1);

// The largest width or height we write; PNG itself allows more, but nothing we make needs it.
inline constexpr uint32_t kMaxPngDimension = 65535;

}  // namespace ImageLib
