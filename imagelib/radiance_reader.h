#pragma once

#include <string>

#include "imagelib/decoded_image.h"

namespace ImageLib {

// Decodes a Radiance HDR file ("-Y height +X width", run-length or flat RGBE scanlines) into
// 32-bit float R, G, B samples, rows top row first. A scanline that cannot be read (the data
// end early or break off) fails the whole picture, with the row in the error.
//
// So that the resolution line alone cannot decide how much memory a file takes before its data
// are found short, a header is refused when it claims more than kMaxImagePixels pixels, or more
// than 2^20 pixels and more than 64 pixels per byte left: run-length scanlines hold at most
// about 16 pixels per byte, so only files that lean heavily on the old repeat codes or that are
// cut far short of their size go past that.
bool DecodeRadiance(const uint8_t* bytes, size_t size, DecodedImage& image, std::string& error);

}  // namespace ImageLib
