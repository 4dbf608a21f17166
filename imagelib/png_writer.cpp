#include "imagelib/png_writer.h"

#include <png.h>

#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <new>

namespace ImageLib {
namespace {

struct PngWrite {
  png_structp png = nullptr;
  png_infop info = nullptr;
  const char* name = nullptr;
  const uint8_t* pixels = nullptr;
  size_t rowBytes = 0;
  int bitDepth = 8;
  int colorType = PNG_COLOR_TYPE_GRAY;
  uint32_t width = 0;
  uint32_t height = 0;
  const std::atomic<bool>* abandon = nullptr;
  std::FILE* file = nullptr;
  int writeErrno = 0;  // why the stream took no more, once it did
  std::vector<uint8_t>* memory = nullptr;  // the destination instead of a file, when set
  int compression = -1;
  std::string message;  // what the library said when it failed
};

extern "C" void OnPngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngWrite*>(png_get_error_ptr(png));
  state->message = message;
  if (state->memory == nullptr) std::fprintf(stderr, "%s: writing the PNG failed: %s\n", state->name, message);
  png_longjmp(png, 1);
}

extern "C" void OnPngWarning(png_structp, png_const_charp) {}

// The library's own stream writer reports only "Write Error"; this one keeps the system's reason.
extern "C" void OnPngWrite(png_structp png, png_bytep data, size_t length) {
  auto* state = static_cast<PngWrite*>(png_get_io_ptr(png));
  if (std::fwrite(data, 1, length, state->file) != length) {
    state->writeErrno = errno != 0 ? errno : EIO;
    png_error(png, std::strerror(state->writeErrno));
  }
}

extern "C" void OnPngFlush(png_structp png) {
  auto* state = static_cast<PngWrite*>(png_get_io_ptr(png));
  std::fflush(state->file);
}

extern "C" void OnPngMemoryWrite(png_structp png, png_bytep data, size_t length) {
  auto* state = static_cast<PngWrite*>(png_get_io_ptr(png));
  bool stored = true;
  try {
    state->memory->insert(state->memory->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    stored = false;
  }
  // The library's error jump must not leave from inside the handler.
  if (!stored) png_error(png, "no memory for the encoded picture");
}

extern "C" void OnPngMemoryFlush(png_structp) {}

// Every library call that can fail runs here, under the jump point; nothing here lives across
// a jump except what `state` holds, which the caller cleans up.
bool RunWrite(PngWrite& state, std::FILE* file) {
  if (setjmp(png_jmpbuf(state.png)) != 0) return false;
  if (state.memory != nullptr) {
    png_set_write_fn(state.png, &state, OnPngMemoryWrite, OnPngMemoryFlush);
  } else {
    state.file = file;
    png_set_write_fn(state.png, &state, OnPngWrite, OnPngFlush);
  }
  if (state.compression >= 0) png_set_compression_level(state.png, state.compression);
  png_set_IHDR(state.png, state.info, state.width, state.height, state.bitDepth, state.colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(state.png, state.info);
  // PNG stores 16-bit samples most significant byte first.
  const uint16_t probe = 1;
  if (state.bitDepth == 16 && *reinterpret_cast<const uint8_t*>(&probe) == 1) png_set_swap(state.png);
  for (uint32_t y = 0; y < state.height; ++y) {
    if (y % 64 == 0 && state.abandon != nullptr && state.abandon->load(std::memory_order_relaxed)) return false;
    // The library takes non-const rows but only reads them.
    png_write_row(state.png, const_cast<png_bytep>(state.pixels + size_t(y) * state.rowBytes));
  }
  png_write_end(state.png, nullptr);
  return true;
}

bool Write(PngWrite& state, std::FILE* file) {
  const char* name = state.name;
  if ((file == nullptr && state.memory == nullptr) || state.pixels == nullptr) {
    std::fprintf(stderr, "%s: no file or no pixels to write\n", name);
    return false;
  }
  if (state.width == 0 || state.height == 0 || state.width > kMaxPngDimension || state.height > kMaxPngDimension) {
    std::fprintf(stderr, "%s: a %u x %u PNG is not written\n", name, state.width, state.height);
    return false;
  }
  state.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
  if (state.png != nullptr) state.info = png_create_info_struct(state.png);
  if (state.png == nullptr || state.info == nullptr) {
    std::fprintf(stderr, "%s: no memory to start the PNG writer\n", name);
    png_destroy_write_struct(&state.png, nullptr);
    return false;
  }
  bool written = RunWrite(state, file);
  png_destroy_write_struct(&state.png, &state.info);
  if (state.memory != nullptr) return written;
  if (written && (std::fflush(file) != 0 || std::ferror(file) != 0)) {
    std::fprintf(stderr, "%s: writing the PNG data failed: %s\n", name, std::strerror(errno));
    written = false;
  }
  return written;
}

}  // namespace

bool WritePngGrey16(std::FILE* file, const char* name, const uint16_t* grey, uint32_t width, uint32_t height,
                    const std::atomic<bool>* abandon) {
  PngWrite state;
  state.abandon = abandon;
  state.name = name != nullptr ? name : "(png)";
  state.pixels = reinterpret_cast<const uint8_t*>(grey);
  state.rowBytes = size_t(width) * 2;
  state.bitDepth = 16;
  state.colorType = PNG_COLOR_TYPE_GRAY;
  state.width = width;
  state.height = height;
  return Write(state, file);
}

bool WritePngRgba8(std::FILE* file, const char* name, const uint8_t* rgba, uint32_t width, uint32_t height) {
  PngWrite state;
  state.name = name != nullptr ? name : "(png)";
  state.pixels = rgba;
  state.rowBytes = size_t(width) * 4;
  state.bitDepth = 8;
  state.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  state.width = width;
  state.height = height;
  return Write(state, file);
}

}  // namespace ImageLib

namespace ImageLib {

bool EncodePng8(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t channels, std::vector<uint8_t>* bytes,
                std::string* error, int compression) {
  static const int kColorTypes[4] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                     PNG_COLOR_TYPE_RGB_ALPHA};
  bytes->clear();
  if (channels < 1 || channels > 4 || pixels == nullptr || width == 0 || height == 0 || width > kMaxPngDimension ||
      height > kMaxPngDimension || compression < -1 || compression > 9) {
    *error = "a " + std::to_string(width) + " x " + std::to_string(height) + " picture of " + std::to_string(channels) +
             " channels at compression " + std::to_string(compression) + " is not encoded as PNG";
    return false;
  }
  PngWrite state;
  state.name = "(png in memory)";
  state.pixels = pixels;
  state.rowBytes = size_t(width) * channels;
  state.bitDepth = 8;
  state.colorType = kColorTypes[channels - 1];
  state.width = width;
  state.height = height;
  state.memory = bytes;
  state.compression = compression;
  if (!Write(state, nullptr)) {
    *error = "encoding the PNG failed: " + (state.message.empty() ? std::string("no memory") : state.message);
    bytes->clear();
    return false;
  }
  return true;
}

}  // namespace ImageLib
