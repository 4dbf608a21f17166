#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

// Small JPEG and PNG files made in memory for the image and texture tests.
namespace TestImages {

// components 1 (grey) or 3 (RGB), samples row by row from the top; full quality without
// subsampling, so smooth pictures come back within a few levels.
inline std::vector<uint8_t> EncodeJpeg(int width, int height, int components, const std::vector<uint8_t>& samples,
                                       bool progressive = false) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = components;
  info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 100, TRUE);
  for (int c = 0; c < info.num_components; ++c) info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
  if (progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() + size_t(info.next_scanline) * width * components);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<uint8_t> file(buffer, buffer + size);
  std::free(buffer);
  return file;
}

inline void AppendPngBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* file = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  file->insert(file->end(), data, data + length);
}

// rows hold the packed samples of each row as libpng takes them (16-bit samples big-endian).
struct PngPicture {
  int width = 0;
  int height = 0;
  int colorType = PNG_COLOR_TYPE_RGB;
  int bitDepth = 8;
  std::vector<std::vector<uint8_t>> rows;
  std::vector<png_color> palette;
  std::vector<uint8_t> paletteAlpha;        // tRNS for palette pictures
  std::optional<png_color_16> transparent;  // tRNS for grey and RGB pictures
  bool interlaced = false;
};

inline std::vector<uint8_t> EncodePng(const PngPicture& picture) {
  std::vector<uint8_t> file;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("could not encode the test PNG");
  }
  png_set_write_fn(png, &file, AppendPngBytes, nullptr);
  png_set_IHDR(png, info, picture.width, picture.height, picture.bitDepth, picture.colorType,
               picture.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!picture.palette.empty()) {
    png_set_PLTE(png, info, picture.palette.data(), static_cast<int>(picture.palette.size()));
  }
  if (!picture.paletteAlpha.empty()) {
    png_set_tRNS(png, info, picture.paletteAlpha.data(), static_cast<int>(picture.paletteAlpha.size()), nullptr);
  }
  if (picture.transparent) png_set_tRNS(png, info, nullptr, 0, &*picture.transparent);
  png_write_info(png, info);
  std::vector<png_bytep> rows;
  for (const std::vector<uint8_t>& row : picture.rows) rows.push_back(const_cast<png_bytep>(row.data()));
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return file;
}

// The bytes a writer put into a temporary stream (write takes the FILE* and says whether it
// succeeded).
template <class Write>
std::vector<uint8_t> StreamBytes(Write write) {
  std::FILE* file = std::tmpfile();
  if (file == nullptr) throw std::runtime_error("no temporary stream");
  const bool written = write(file);
  std::vector<uint8_t> bytes(written ? static_cast<size_t>(std::ftell(file)) : 0);
  std::rewind(file);
  const size_t read = std::fread(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  if (!written || read != bytes.size()) throw std::runtime_error("the writer failed");
  return bytes;
}

}  // namespace TestImages
