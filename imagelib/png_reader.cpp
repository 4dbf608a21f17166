#include "imagelib/png_reader.h"

#include <png.h>

#include <cstring>

#include "imagelib/image_limits.h"

namespace ImageLib {
namespace {

struct PngDecoding {
  png_structp png = nullptr;
  png_infop info = nullptr;
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  size_t position = 0;
  std::vector<png_bytep> rows;
  std::string error;

  ~PngDecoding() { png_destroy_read_struct(&png, &info, nullptr); }
};

[[noreturn]] void LeaveOnPngError(png_structp png, png_const_charp message) {
  static_cast<PngDecoding*>(png_get_error_ptr(png))->error = message;
  png_longjmp(png, 1);
}

// Warnings (an odd colour profile, say) leave a usable picture.
void IgnorePngWarning(png_structp, png_const_charp) {}

void ReadPngBytes(png_structp png, png_bytep out, png_size_t count) {
  PngDecoding& state = *static_cast<PngDecoding*>(png_get_io_ptr(png));
  if (count > state.size - state.position) png_error(png, "the data end before the picture does");
  std::memcpy(out, state.bytes + state.position, count);
  state.position += count;
}

// Every library call that can fail runs here, under the jump point; this function keeps nothing
// of its own across a jump, all it builds lives in `state` and `image`.
bool RunPngDecoding(PngDecoding& state, DecodedImage& image) {
  png_structp png = state.png;
  png_infop info = state.info;
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_set_read_fn(png, &state, ReadPngBytes);
  png_read_info(png, info);
  png_uint_32 width = png_get_image_width(png, info);
  png_uint_32 height = png_get_image_height(png, info);
  int colorType = png_get_color_type(png, info);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS) != 0) png_set_tRNS_to_alpha(png);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  png_set_swap(png);  // 16-bit samples from the file's big-endian order into the machine's
#endif
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  const uint32_t channels = png_get_channels(png, info);
  const SampleType type = png_get_bit_depth(png, info) == 16 ? SampleType::Word : SampleType::Byte;
  const size_t samples = CheckedSampleCount(width, height, channels);
  if (samples == 0) {
    state.error = "the picture is too large";
    return false;
  }
  const size_t rowBytes = size_t(width) * channels * size_t(type);
  if (png_get_rowbytes(png, info) != rowBytes) png_error(png, "unexpected row layout after conversion");
  image.samples.resize(samples * size_t(type));
  state.rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) state.rows[y] = image.samples.data() + size_t(y) * rowBytes;
  png_read_image(png, state.rows.data());
  png_read_end(png, nullptr);
  image.width = width;
  image.height = height;
  image.channels = channels;
  image.type = type;
  return true;
}

}  // namespace

bool DecodePng(const uint8_t* bytes, size_t size, DecodedImage& image, std::string& error) {
  PngDecoding state;
  state.bytes = bytes;
  state.size = bytes != nullptr ? size : 0;
  state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, LeaveOnPngError, IgnorePngWarning);
  if (state.png != nullptr) state.info = png_create_info_struct(state.png);
  if (state.png == nullptr || state.info == nullptr) {
    error = "could not set up the decoder";
    return false;
  }
  if (RunPngDecoding(state, image)) return true;
  error = state.error;
  return false;
}

}  // namespace ImageLib
