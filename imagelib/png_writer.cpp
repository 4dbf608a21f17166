#include "imagelib/png_writer.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>

namespace ImageLib {
namespace {

struct PngWrite {
  png_structp png = nullptr;
  png_infop info = nullptr;
  const char* name = nullptr;
  const uint16_t* grey = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
};

extern "C" void OnPngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngWrite*>(png_get_error_ptr(png));
  std::fprintf(stderr, "%s: writing the PNG failed: %s\n", state->name, message);
  png_longjmp(png, 1);
}

extern "C" void OnPngWarning(png_structp, png_const_charp) {}

// Every library call that can fail runs here, under the jump point; nothing here lives across
// a jump except what `state` holds, which the caller cleans up.
bool RunWrite(PngWrite& state, std::FILE* file) {
  if (setjmp(png_jmpbuf(state.png)) != 0) return false;
  png_init_io(state.png, file);
  png_set_IHDR(state.png, state.info, state.width, state.height, 16, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(state.png, state.info);
  // PNG stores 16-bit samples most significant byte first.
  const uint16_t probe = 1;
  if (*reinterpret_cast<const uint8_t*>(&probe) == 1) png_set_swap(state.png);
  for (uint32_t y = 0; y < state.height; ++y) {
    // The library takes non-const rows but only reads them.
    png_bytep row = reinterpret_cast<png_bytep>(const_cast<uint16_t*>(state.grey + size_t(y) * state.width));
    png_write_row(state.png, row);
  }
  png_write_end(state.png, nullptr);
  return true;
}

}  // namespace

bool WritePngGrey16(std::FILE* file, const char* name, const uint16_t* grey, uint32_t width, uint32_t height) {
  if (name == nullptr) name = "(png)";
  if (file == nullptr || grey == nullptr) {
    std::fprintf(stderr, "%s: no file or no pixels to write\n", name);
    return false;
  }
  if (width == 0 || height == 0 || width > kMaxPngDimension || height > kMaxPngDimension) {
    std::fprintf(stderr, "%s: a %u x %u PNG is not written\n", name, width, height);
    return false;
  }
  PngWrite state;
  state.name = name;
  state.grey = grey;
  state.width = width;
  state.height = height;
  state.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
  if (state.png != nullptr) state.info = png_create_info_struct(state.png);
  if (state.png == nullptr || state.info == nullptr) {
    std::fprintf(stderr, "%s: no memory to start the PNG writer\n", name);
    png_destroy_write_struct(&state.png, nullptr);
    return false;
  }
  bool written = RunWrite(state, file);
  png_destroy_write_struct(&state.png, &state.info);
  if (written && (std::fflush(file) != 0 || std::ferror(file) != 0)) {
    std::fprintf(stderr, "%s: writing the PNG data failed: %s\n", name, std::strerror(errno));
    written = false;
  }
  return written;
}

}  // namespace ImageLib
