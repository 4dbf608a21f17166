#include "imagelib/jpeg_writer.h"

#include <cerrno>
#include <algorithm>
#include <csetjmp>
#include <new>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include "imagelib/jpeg_error_manager.h"

namespace ImageLib {
namespace {

struct Compression {
  jpeg_compress_struct info{};
  JpegErrorManager error{};
  std::FILE* file = nullptr;
  const char* name = nullptr;
  const uint8_t* pixels = nullptr;
  bool grey = false;  // one byte a pixel, written as R = G = B, else three
  // For grey: a band of luminance rows padded to whole blocks, and a row of neutral colour.
  // Made before the library runs, since nothing may need destroying across its error jump.
  std::vector<JSAMPLE> band;
  std::vector<JSAMPLE> neutral;
  uint32_t width = 0;
  uint32_t height = 0;
  int quality = 95;
  const std::atomic<bool>* abandon = nullptr;
  bool abandoned = false;
};

// Rows a band of the raw planes holds at the most: the library's defaults subsample the colour
// planes 2 x 2, so a band is 16 luminance rows and 8 of each colour plane.
constexpr int kBandRows = 16;

size_t PaddedWidth(uint32_t width) { return (size_t(width) + 15) / 16 * 16; }

// The raw planes a band of rows at a time: luminance rows padded to whole blocks by repeating
// the last pixel (and past the last row by repeating that row), as the colour path pads its
// input; the colour planes rows of 128s.
bool WriteGreyRows(Compression& state) {
  jpeg_compress_struct& info = state.info;
  const int bandRows = info.max_v_samp_factor * DCTSIZE;
  const int chromaRows = info.comp_info[1].v_samp_factor * DCTSIZE;
  const size_t lumaWidth = size_t(info.comp_info[0].width_in_blocks) * DCTSIZE;
  const size_t chromaWidth = size_t(info.comp_info[1].width_in_blocks) * DCTSIZE;
  const size_t padded = PaddedWidth(state.width);
  if (bandRows > kBandRows || chromaRows > kBandRows || lumaWidth > padded || chromaWidth > padded) return false;
  JSAMPROW lumaRows[kBandRows];
  JSAMPROW chromaRowList[kBandRows];
  for (JSAMPROW& row : chromaRowList) row = state.neutral.data();
  JSAMPARRAY planes[3] = {lumaRows, chromaRowList, chromaRowList};
  const uint32_t width = state.width, height = state.height;
  for (uint32_t top = 0; top < height; top += uint32_t(bandRows)) {
    if (state.abandon != nullptr && state.abandon->load(std::memory_order_relaxed)) {
      state.abandoned = true;
      return false;
    }
    for (int r = 0; r < bandRows; ++r) {
      const uint32_t y = std::min(top + uint32_t(r), height - 1);
      JSAMPLE* row = state.band.data() + size_t(r) * padded;
      std::memcpy(row, state.pixels + size_t(y) * width, width);
      std::fill(row + width, row + lumaWidth, row[width - 1]);
      lumaRows[r] = row;
    }
    jpeg_write_raw_data(&info, planes, JDIMENSION(bandRows));
  }
  return true;
}

// Every library call that can fail runs here, under the jump point; nothing here lives across
// a jump except what `state` holds, which the caller cleans up.
bool RunCompression(Compression& state) {
  if (setjmp(state.error.jump) != 0) {
    std::fprintf(stderr, "%s: %s\n", state.name, state.error.message);
    return false;
  }
  jpeg_compress_struct& info = state.info;
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, state.file);
  info.image_width = state.width;
  info.image_height = state.height;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, state.quality, TRUE);
  if (state.grey) {
    // Grey as R = G = B converts to luminance = grey and both colour differences = 128
    // exactly, and a constant plane subsamples to itself: hand the library those planes
    // already subsampled, and the file is the one the colour path would write, byte for byte.
    info.in_color_space = JCS_YCbCr;
    info.raw_data_in = TRUE;
  }
  jpeg_start_compress(&info, TRUE);
  if (state.grey) {
    if (!WriteGreyRows(state)) {
      if (state.abandoned) return false;
      std::fprintf(stderr, "%s: the JPEG library lays out its planes in an unexpected way\n", state.name);
      return false;
    }
  } else {
    const size_t rowSize = size_t(state.width) * 3;
    while (info.next_scanline < info.image_height) {
      // The library takes non-const rows but only reads them.
      JSAMPROW row = const_cast<JSAMPLE*>(state.pixels + size_t(info.next_scanline) * rowSize);
      jpeg_write_scanlines(&info, &row, 1);
    }
  }
  jpeg_finish_compress(&info);
  return true;
}

}  // namespace

namespace {

bool Write(std::FILE* file, const char* name, const uint8_t* pixels, bool grey, uint32_t width, uint32_t height,
           int quality, const std::atomic<bool>* abandon = nullptr) {
  if (name == nullptr) name = "(jpeg)";
  if (file == nullptr || pixels == nullptr) {
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
  state.pixels = pixels;
  state.grey = grey;
  state.width = width;
  state.height = height;
  state.quality = quality;
  state.name = name;
  state.abandon = abandon;
  try {
    if (grey) {
      state.band.resize(PaddedWidth(width) * kBandRows);
      state.neutral.assign(PaddedWidth(width), 128);
    }
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "%s: no memory to write the JPEG\n", name);
    return false;
  }
  state.info.err = InstallJpegErrorManager(state.error);

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

}  // namespace

bool WriteJpeg(std::FILE* file, const char* name, const uint8_t* rgb, uint32_t width, uint32_t height, int quality) {
  return Write(file, name, rgb, false, width, height, quality);
}

bool WriteGreyJpeg(std::FILE* file, const char* name, const uint8_t* grey, uint32_t width, uint32_t height,
                   int quality, const std::atomic<bool>* abandon) {
  return Write(file, name, grey, true, width, height, quality, abandon);
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
