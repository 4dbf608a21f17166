#include "platform/texture_files.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <jerror.h>
#include <jpeglib.h>
#include <png.h>

namespace Platform {
namespace {

// Files beyond this cannot hold a picture within the pixel limit in any sensible encoding.
constexpr long kMaxFileBytes = long(1) << 30;

bool SizeAllowed(uint64_t width, uint64_t height, std::string* error) {
  if (width > 0 && height > 0 && width <= kMaxTextureSide && height <= kMaxTextureSide &&
      width * height <= kMaxTexturePixels) {
    return true;
  }
  *error = "a picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels is empty or too large";
  return false;
}

// libjpeg's fatal errors jump back to the decoder instead of ending the process.
struct JpegFailure {
  jpeg_error_mgr library;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void LeaveOnJpegError(j_common_ptr info) {
  JpegFailure* failure = reinterpret_cast<JpegFailure*>(info->err);
  info->err->format_message(info, failure->message);
  std::longjmp(failure->jump, 1);
}

// Data that ends before the picture does would otherwise be painted grey and taken as whole.
// Other warnings (extra bytes between markers and the like) leave a usable picture.
void OnJpegMessage(j_common_ptr info, int level) {
  const int code = info->err->msg_code;
  if (level < 0 && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER)) LeaveOnJpegError(info);
}

struct JpegDecoding {
  jpeg_decompress_struct info{};
  JpegFailure failure{};
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  DecodedImage* image = nullptr;
  std::string error;
};

// Every library call that can fail runs under the jump point; this function keeps nothing of its
// own across a jump, all it builds lives in state.
bool RunJpegDecoding(JpegDecoding& state) {
  if (setjmp(state.failure.jump) != 0) {
    state.error = state.failure.message;
    return false;
  }
  jpeg_decompress_struct& info = state.info;
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, state.bytes, static_cast<unsigned long>(state.size));
  jpeg_read_header(&info, TRUE);
  // Grey and colour alike come out as RGBA with opaque alpha.
  info.out_color_space = JCS_EXT_RGBA;
  jpeg_calc_output_dimensions(&info);
  if (!SizeAllowed(info.output_width, info.output_height, &state.error)) return false;
  jpeg_start_decompress(&info);
  DecodedImage& image = *state.image;
  image.width = info.output_width;
  image.height = info.output_height;
  image.rgba8.resize(size_t(image.width) * image.height * 4);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image.rgba8.data() + size_t(info.output_scanline) * image.width * 4;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  return true;
}

bool DecodeJpeg(const uint8_t* bytes, size_t size, DecodedImage* image, std::string* error) {
  JpegDecoding state;
  state.bytes = bytes;
  state.size = size;
  state.image = image;
  state.info.err = jpeg_std_error(&state.failure.library);
  state.failure.library.error_exit = LeaveOnJpegError;
  state.failure.library.emit_message = OnJpegMessage;
  bool decoded = false;
  try {
    decoded = RunJpegDecoding(state);
  } catch (const std::bad_alloc&) {
    state.error = "out of memory for the picture";
  }
  jpeg_destroy_decompress(&state.info);
  if (!decoded) *error = "JPEG: " + state.error;
  return decoded;
}

struct PngDecoding {
  png_structp png = nullptr;
  png_infop info = nullptr;
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  size_t position = 0;
  DecodedImage* image = nullptr;
  std::vector<png_bytep> rows;
  std::vector<uint16_t> wide;  // 16-bit samples before they become floats
  std::string error;
};

[[noreturn]] void LeaveOnPngError(png_structp png, png_const_charp message) {
  static_cast<PngDecoding*>(png_get_error_ptr(png))->error = message;
  png_longjmp(png, 1);
}

// Warnings (an odd colour profile, say) leave a usable picture.
void IgnorePngWarning(png_structp, png_const_charp) {}

void ReadPngBytes(png_structp png, png_bytep out, png_size_t count) {
  PngDecoding* state = static_cast<PngDecoding*>(png_get_io_ptr(png));
  if (count > state->size - state->position) png_error(png, "the data ends before the picture does");
  std::memcpy(out, state->bytes + state->position, count);
  state->position += count;
}

bool RunPngDecoding(PngDecoding& state) {
  png_structp png = state.png;
  png_infop info = state.info;
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_set_read_fn(png, &state, ReadPngBytes);
  png_set_user_limits(png, kMaxTextureSide, kMaxTextureSide);
  png_read_info(png, info);

  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bitDepth = 0;
  int colorType = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
  if (!SizeAllowed(width, height, &state.error)) return false;

  const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (transparency) png_set_tRNS_to_alpha(png);
  if ((colorType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
  if ((colorType & PNG_COLOR_MASK_ALPHA) == 0 && !transparency) {
    png_set_add_alpha(png, bitDepth == 16 ? 0xFFFF : 0xFF, PNG_FILLER_AFTER);
  }
  const bool wide = bitDepth == 16;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  if (wide) png_set_swap(png);  // the file's big-endian samples in the machine's order
#endif
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  const size_t rowBytes = size_t(width) * 4 * (wide ? 2 : 1);
  if (png_get_rowbytes(png, info) != rowBytes) png_error(png, "unexpected row layout after conversion to RGBA");

  DecodedImage& image = *state.image;
  image.width = width;
  image.height = height;
  uint8_t* pixels = nullptr;
  if (wide) {
    state.wide.resize(size_t(width) * height * 4);
    pixels = reinterpret_cast<uint8_t*>(state.wide.data());
  } else {
    image.rgba8.resize(size_t(width) * height * 4);
    pixels = image.rgba8.data();
  }
  state.rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) state.rows[y] = pixels + size_t(y) * rowBytes;
  png_read_image(png, state.rows.data());
  png_read_end(png, nullptr);

  if (wide) {
    image.rgbaFloat.resize(state.wide.size());
    for (size_t i = 0; i < state.wide.size(); ++i) image.rgbaFloat[i] = state.wide[i] / 65535.0f;
  }
  return true;
}

bool DecodePng(const uint8_t* bytes, size_t size, DecodedImage* image, std::string* error) {
  PngDecoding state;
  state.bytes = bytes;
  state.size = size;
  state.image = image;
  state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, LeaveOnPngError, IgnorePngWarning);
  if (state.png) state.info = png_create_info_struct(state.png);
  if (!state.png || !state.info) {
    png_destroy_read_struct(&state.png, &state.info, nullptr);
    *error = "PNG: could not set up the decoder";
    return false;
  }
  bool decoded = false;
  try {
    decoded = RunPngDecoding(state);
  } catch (const std::bad_alloc&) {
    state.error = "out of memory for the picture";
  }
  png_destroy_read_struct(&state.png, &state.info, nullptr);
  if (!decoded) *error = "PNG: " + state.error;
  return decoded;
}

}  // namespace

bool DecodeImageFile(const void* bytes, size_t size, DecodedImage* image, std::string* error) {
  const uint8_t* data = static_cast<const uint8_t*>(bytes);
  *image = DecodedImage();
  std::string reason;
  bool decoded = false;
  if (data && size >= 8 && png_sig_cmp(data, 0, 8) == 0) {
    decoded = DecodePng(data, size, image, &reason);
  } else if (data && size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
    decoded = DecodeJpeg(data, size, image, &reason);
  } else {
    reason = "neither a JPEG nor a PNG file";
  }
  if (!decoded) {
    *image = DecodedImage();
    if (error) *error = reason;
  }
  return decoded;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
  bytes->clear();
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    if (error) *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  bool read = size >= 0 && size <= kMaxFileBytes && std::fseek(file, 0, SEEK_SET) == 0;
  if (read) {
    bytes->resize(static_cast<size_t>(size));
    read = std::fread(bytes->data(), 1, bytes->size(), file) == bytes->size();
  }
  std::fclose(file);
  if (!read) {
    bytes->clear();
    if (error) *error = "cannot read " + path + (size > kMaxFileBytes ? ": the file is too large" : "");
  }
  return read;
}

}  // namespace Platform
