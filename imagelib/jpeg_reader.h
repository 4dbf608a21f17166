#pragma once

#include "imagelib/image_decoder.h"

namespace ImageLib {

// Decodes a JPEG file through libjpeg in the library's default output colour space. Only
// three-component output gets a format code (7); any other is described with code 0, which
// the float conversion rejects. Errors inside the library, and data that ends early, print
// the library's message on stderr and return false; the program goes on.
bool DecodeJpeg(const char* path, ImageDescription& description, RawBuffer& raw);

}  // namespace ImageLib
