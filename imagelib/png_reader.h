#pragma once

#include <string>

#include "imagelib/decoded_image.h"

namespace ImageLib {

// Decodes a PNG of any colour type, bit depth and interlacing through libpng into grey, grey and
// alpha, RGB or RGBA: palettes become RGB, a tRNS chunk becomes alpha, samples below 8 bits
// become bytes and 16-bit samples stay 16-bit. No gamma is applied. Errors inside the library,
// and data that end before the picture does, come back as false with the library's message.
bool DecodePng(const uint8_t* bytes, size_t size, DecodedImage& image, std::string& error);

}  // namespace ImageLib
