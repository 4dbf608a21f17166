#pragma once

#include "imagelib/image_decoder.h"

namespace ImageLib {

// Decodes an uncompressed or run-length Targa file with 8-bit grey, 16-bit colour (expanded
// to 8-bit R, G, B) or 24/32-bit colour pixels into bytes, rows top row first. Every file is
// taken to be stored bottom row first, whatever its descriptor says. Colour-mapped files are
// rejected. The header's size is checked against what the rest of the file can hold before
// anything is allocated.
bool DecodeTarga(const char* path, ImageDescription& description, RawBuffer& raw);

}  // namespace ImageLib
