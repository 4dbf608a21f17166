#include "imagelib/image_decoder.h"

#include <cstring>

#include "imagelib/jpeg_reader.h"
#include "imagelib/radiance_reader.h"
#include "imagelib/targa_reader.h"

namespace ImageLib {
namespace {

struct DecoderEntry {
  const char* extension;
  bool (*decode)(const char* path, ImageDescription& description, RawBuffer& raw);
};

constexpr DecoderEntry kDecoders[] = {
    {".tga", DecodeTarga},
    {".hdr", DecodeRadiance},
    {".jpg", DecodeJpeg},
};

}  // namespace

bool Decode(const char* path, ImageDescription& description, RawBuffer& raw) {
  if (path == nullptr) return false;
  for (const DecoderEntry& entry : kDecoders) {
    if (std::strstr(path, entry.extension) != nullptr) return entry.decode(path, description, raw);
  }
  return false;
}

}  // namespace ImageLib
