#include "imagelib/jpeg_reader.h"

#include <csetjmp>

#include <jerror.h>
#include <jpeglib.h>

#include "imagelib/image_limits.h"
#include "imagelib/jpeg_error_manager.h"

namespace ImageLib {
namespace {

// Data that end before the picture does (the file, or a scan's data) would otherwise be painted
// grey and taken as whole. Other warnings (extra bytes between markers and the like) leave a
// usable picture.
void LeaveOnEarlyEnd(j_common_ptr info, int level) {
  int code = info->err->msg_code;
  if (level < 0 && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER)) KeepJpegErrorAndLeave(info);
}

struct Decompression {
  jpeg_decompress_struct info{};
  JpegErrorManager error{};
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  const char* refusal = nullptr;

  ~Decompression() { jpeg_destroy_decompress(&info); }
};

// Every library call that can fail runs here, under the jump point. This function keeps
// nothing of its own across a jump: what it builds goes into `state` and `image`, which the
// caller owns and cleans up on both outcomes.
bool RunDecompression(Decompression& state, DecodedImage& image) {
  if (setjmp(state.error.jump) != 0) return false;
  jpeg_decompress_struct& info = state.info;
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, state.bytes, static_cast<unsigned long>(state.size));
  jpeg_read_header(&info, TRUE);
  jpeg_calc_output_dimensions(&info);
  if (info.out_color_space != JCS_GRAYSCALE && info.out_color_space != JCS_RGB) {
    state.refusal = "CMYK pictures are not read";
    return false;
  }
  size_t samples = CheckedSampleCount(info.output_width, info.output_height, info.output_components);
  if (samples == 0) {
    state.refusal = "the picture is too large";
    return false;
  }
  jpeg_start_decompress(&info);
  image.samples.resize(samples);
  size_t rowSize = size_t(info.output_width) * info.output_components;
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image.samples.data() + size_t(info.output_scanline) * rowSize;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  image.width = info.output_width;
  image.height = info.output_height;
  image.channels = static_cast<uint32_t>(info.output_components);
  image.type = SampleType::Byte;
  return true;
}

}  // namespace

bool DecodeJpeg(const uint8_t* bytes, size_t size, DecodedImage& image, std::string& error) {
  Decompression state;
  state.bytes = bytes;
  state.size = size;
  state.info.err = InstallJpegErrorManager(state.error);
  state.error.library.emit_message = LeaveOnEarlyEnd;
  if (RunDecompression(state, image)) return true;
  error = state.refusal != nullptr ? state.refusal : state.error.message;
  return false;
}

}  // namespace ImageLib
