#pragma once

#include <string>

#include "imagelib/decoded_image.h"

namespace ImageLib {

// Decodes a JPEG through libjpeg in the library's default output colour space: one channel for
// grey pictures, three (R, G, B) for colour ones; CMYK pictures are refused. Errors inside the
// library, and data that end before the picture does, come back as false with the library's
// message; the program goes on.
bool DecodeJpeg(const uint8_t* bytes, size_t size, DecodedImage& image, std::string& error);

}  // namespace ImageLib
