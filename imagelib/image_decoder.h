#pragma once

#include <cstdint>
#include <memory>

#include "imagelib/image_description.h"

namespace ImageLib {

// The raw samples a decoder delivers: bytes, or 32-bit floats when the format code has
// kFormatFloatSamples. Owned by the caller whether decoding succeeded or not.
using RawBuffer = std::unique_ptr<uint8_t[]>;

// Picks the decoder by the first of ".tga", ".hdr", ".jpg" found anywhere in the path
// (case-sensitive) and returns its result; false with nothing decoded when none is found.
bool Decode(const char* path, ImageDescription& description, RawBuffer& raw);

// The extension Decode would go by for this path (".tga", ".hdr" or ".jpg"), or nullptr when
// it would decline the path; lets callers say why a load failed.
const char* DecoderExtension(const char* path);

}  // namespace ImageLib
