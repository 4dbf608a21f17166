#include "imagelib/jpeg_reader.h"

#include <csetjmp>
#include <cstdio>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

#include "imagelib/image_limits.h"
#include "imagelib/jpeg_error_manager.h"

namespace ImageLib {
namespace {

// Warnings are left to the library, except those that say the data ended before the picture
// did (the file, or a scan's data): the library would paint the rest grey and go on as if the
// file were whole.
void EmitMessage(j_common_ptr info, int level) {
  int code = info->err->msg_code;
  if (level < 0 && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER)) ReportJpegErrorAndLeave(info);
  JpegErrorManagerOf(info).standardEmitMessage(info, level);
}

struct Decompression {
  jpeg_decompress_struct info{};
  JpegErrorManager error{};
  FILE* file = nullptr;
  RawBuffer raw;
  ImageDescription description;
};

// Every library call that can fail runs here, under the jump point. This function keeps
// nothing of its own across a jump: what it builds goes into `state`, which the caller owns
// and cleans up on both outcomes.
bool RunDecompression(Decompression& state) {
  if (setjmp(state.error.jump) != 0) return false;
  jpeg_decompress_struct& info = state.info;
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, state.file);
  jpeg_read_header(&info, TRUE);
  jpeg_calc_output_dimensions(&info);
  size_t samples = CheckedSampleCount(info.output_width, info.output_height, info.output_components);
  if (samples == 0) {
    std::fprintf(stderr, "%s: %u x %u image with %d components is too large to load\n", state.error.name,
                 info.output_width, info.output_height, info.output_components);
    return false;
  }
  jpeg_start_decompress(&info);
  state.raw.reset(new (std::nothrow) uint8_t[samples]);
  if (state.raw == nullptr) return false;
  size_t rowSize = size_t(info.output_width) * info.output_components;
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = state.raw.get() + size_t(info.output_scanline) * rowSize;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);

  state.description.width = static_cast<int32_t>(info.output_width);
  state.description.height = static_cast<int32_t>(info.output_height);
  state.description.channels = info.output_components;
  state.description.bitsPerPixel = 24;
  state.description.formatCode = info.output_components == 3 ? uint32_t{kFormatRgb} : 0u;
  return true;
}

}  // namespace

bool DecodeJpeg(const char* path, ImageDescription& description, RawBuffer& raw) {
  Decompression state;
  state.file = std::fopen(path, "rb");
  if (state.file == nullptr) {
    std::fprintf(stderr, "can't open %s\n", path);
    return false;
  }
  state.info.err = InstallJpegErrorManager(state.error, path);
  state.error.library.emit_message = EmitMessage;

  bool decoded = RunDecompression(state);
  jpeg_destroy_decompress(&state.info);
  std::fclose(state.file);
  if (decoded) description = state.description;
  raw = std::move(state.raw);
  return decoded;
}

}  // namespace ImageLib
