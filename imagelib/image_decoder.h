#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imagelib/decoded_image.h"

namespace ImageLib {

enum class ImageFormat { Targa, Radiance, Jpeg, Png };

// The format a file name asks for: the first of ".tga", ".hdr", ".jpg", ".png" found anywhere
// in it (case-sensitive), so "a.tga.jpg" is a Targa and "a.JPG" is nothing.
std::optional<ImageFormat> FormatOfName(const char* path);
const char* ExtensionOf(ImageFormat format);

// Decodes a file of the given format held in memory. Sizes beyond kMaxImagePixels and data that
// end before the picture does are refused; false with the reason in `error` on any failure, and
// `image` is then empty.
bool DecodeImage(ImageFormat format, const uint8_t* bytes, size_t size, DecodedImage& image, std::string& error);

// The same for a JPEG or PNG file, told apart by their signatures.
bool DecodeImage(const uint8_t* bytes, size_t size, DecodedImage& image, std::string& error);

// Reads a whole image file: a regular file of at most 1 GiB. False with the reason in `error`.
bool ReadImageFile(const char* path, std::vector<uint8_t>& bytes, std::string& error);

}  // namespace ImageLib
