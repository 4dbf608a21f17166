#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

namespace ImageLib {

// Compresses an 8-bit RGB image (rows from the top, three bytes per pixel, rows packed) into a
// baseline JPEG through libjpeg. Errors inside the library, and a stream that cannot be
// written, print what failed with `name` on stderr and return false; the program goes on.
// The caller opens and closes the file (and checks that closing it succeeds).
bool WriteJpeg(std::FILE* file, const char* name, const uint8_t* rgb, uint32_t width, uint32_t height,
               int quality = 95);

// The JPEG WriteJpeg makes of the same image with R = G = B, byte for byte, from one byte a
// pixel: it skips the colour conversion and subsampling, which have nothing to do for grey.
// When `abandon` is given and becomes true, the write stops within a band of rows and returns
// false without a message.
bool WriteGreyJpeg(std::FILE* file, const char* name, const uint8_t* grey, uint32_t width, uint32_t height,
                   int quality = 95, const std::atomic<bool>* abandon = nullptr);

// WriteJpeg into a new file at path, replaced if it exists; on failure nothing is left at path.
bool WriteJpegFile(const char* path, const uint8_t* rgb, uint32_t width, uint32_t height, int quality = 95);

// The largest width or height a JPEG file can carry.
inline constexpr uint32_t kMaxJpegDimension = 65500;

}  // namespace ImageLib
