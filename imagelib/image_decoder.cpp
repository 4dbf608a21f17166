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

const DecoderEntry* FindDecoder(const char* path) {
  if (path == nullptr) return nullptr;
  for (const DecoderEntry& entry : kDecoders) {
    if (std::strstr(path, entry.extension) != nullptr) return &entry;
  }
  return nullptr;
}

}  // namespace

bool Decode(const char* path, ImageDescription& description, RawBuffer& raw) {
  const DecoderEntry* entry = FindDecoder(path);
  return entry != nullptr && entry->decode(path, description, raw);
}

const char* DecoderExtension(const char* path) {
  const DecoderEntry* entry = FindDecoder(path);
  return entry != nullptr ? entry->extension : nullptr;
}

}  // namespace ImageLib
