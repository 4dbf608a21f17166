#include "imagelib/jpeg_writer.h"

#include <cerrno>
#include <csetjmp>
#include <cstring>

#include <jpeglib.h>

#include "imagelib/jpeg_error_manager.h"

namespace ImageLib {
namespace {

struct Compression {
  jpeg_compress_struct info{};
  JpegErrorManager error{};
  std::FILE* file = nullptr;
  const uint8_t* rgb = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
  int quality = 95;
};

// Every library call that can fail runs here, under the jump point; nothing here lives across
// a jump except what `state` holds, which the caller cleans up.
bool RunCompression(Compression& state) {
  if (setjmp(state.error.jump) != 0) return false;
  jpeg_compress_struct& info = state.info;
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, state.file);
  info.image_width = state.width;
  info.image_height = state.height;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, state.quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  const size_t rowSize = size_t(state.width) * 3;
  while (info.next_scanline < info.image_height) {
    // The library takes non-const rows but only reads them.
    JSAMPROW row = const_cast<JSAMPLE*>(state.rgb + size_t(info.next_scanline) * rowSize);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  return true;
}

}  // namespace

bool WriteJpeg(std::FILE* file, const char* name, const uint8_t* rgb, uint32_t width, uint32_t height, int quality) {
  if (name == nullptr) name = "(jpeg)";
  if (file == nullptr || rgb == nullptr) {
    std::fprintf(stderr, "%s: no file or no pixels to write\n", name);
    return false;
  }
  if (width == 0 || height == 0 || width > kMaxJpegDimension || height > kMaxJpegDimension) {
    std::fprintf(stderr, "%s: a JPEG cannot hold a %u x %u image\n", name, width, height);
    return false;
  }
  if (quality < 1 || quality > 100) {
    std::fprintf(stderr, "%s: JPEG quality %d is outside 1..100\n", name, quality);
    return false;
  }
  Compression state;
  state.file = file;
  state.rgb = rgb;
  state.width = width;
  state.height = height;
  state.quality = quality;
  state.info.err = InstallJpegErrorManager(state.error, name);

  bool written = RunCompression(state);
  jpeg_destroy_compress(&state.info);
  // The stdio destination only flushes the library's buffer; a full disk or a closed stream
  // shows in the stream's error flag.
  if (written && (std::fflush(file) != 0 || std::ferror(file) != 0)) {
    std::fprintf(stderr, "%s: writing the JPEG data failed: %s\n", name, std::strerror(errno));
    written = false;
  }
  return written;
}

bool WriteJpegFile(const char* path, const uint8_t* rgb, uint32_t width, uint32_t height, int quality) {
  if (path == nullptr) {
    std::fprintf(stderr, "WriteJpegFile: no path given\n");
    return false;
  }
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "can't create %s: %s\n", path, std::strerror(errno));
    return false;
  }
  bool written = WriteJpeg(file, path, rgb, width, height, quality);
  if (std::fclose(file) != 0 && written) {
    std::fprintf(stderr, "%s: closing the file failed: %s\n", path, std::strerror(errno));
    written = false;
  }
  // A half-written file would pass for a damaged picture; leave none behind.
  if (!written) std::remove(path);
  return written;
}

}  // namespace ImageLib
