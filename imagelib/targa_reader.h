#pragma once

#include <string>

#include "imagelib/decoded_image.h"

namespace ImageLib {

// Decodes an uncompressed or run-length Targa file with 8-bit grey, 16-bit colour (expanded
// to 8-bit R, G, B) or 24/32-bit colour pixels into bytes, rows top row first. Every file is
// taken to be stored bottom row first, whatever its descriptor says. Colour-mapped files are
// refused. The header's size is checked against what the rest of the data can hold before
// anything is allocated.
bool DecodeTarga(const uint8_t* bytes, size_t size, DecodedImage& image, std::string& error);

}  // namespace ImageLib
