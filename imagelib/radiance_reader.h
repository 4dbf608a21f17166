#pragma once

#include <string>

#include "imagelib/decoded_image.h"

namespace ImageLib {

// Decodes a Radiance HDR file ("-Y height +X width", run-length or flat RGBE scanlines) into
// 32-bit float R, G, B samples, rows top row first. A scanline that cannot be read ends the
// reading; the image still loads, with the rows from there on left black.
//
// Because short data still load, the resolution line alone would decide how much memory a
// file takes. So a header is refused when it claims more than kMaxImagePixels pixels, or
// more than 2^20 pixels and more than 64 pixels per byte left: run-length scanlines hold at
// most about 16 pixels per byte, so only files that lean heavily on the old repeat codes or
// that are cut far short of their size go past that.
bool DecodeRadiance(const uint8_t* bytes, size_t size, DecodedImage& image, std::string& error);

}  // namespace ImageLib
