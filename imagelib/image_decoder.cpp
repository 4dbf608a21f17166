#include "imagelib/image_decoder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "imagelib/jpeg_reader.h"
#include "imagelib/png_reader.h"
#include "imagelib/radiance_reader.h"
#include "imagelib/targa_reader.h"

namespace ImageLib {
namespace {

struct FormatEntry {
  ImageFormat format;
  const char* extension;
  const char* name;
  bool (*decode)(const uint8_t* bytes, size_t size, DecodedImage& image, std::string& error);
};

// In the order of ImageFormat, which is also the order names are matched in.
constexpr FormatEntry kFormats[] = {
    {ImageFormat::Targa, ".tga", "Targa", DecodeTarga},
    {ImageFormat::Radiance, ".hdr", "Radiance", DecodeRadiance},
    {ImageFormat::Jpeg, ".jpg", "JPEG", DecodeJpeg},
    {ImageFormat::Png, ".png", "PNG", DecodePng},
};
static_assert([] {
  for (int i = 0; i < 4; ++i) {
    if (static_cast<int>(kFormats[i].format) != i) return false;
  }
  return true;
}());

const FormatEntry& EntryOf(ImageFormat format) { return kFormats[static_cast<int>(format)]; }

// Files beyond this cannot hold a picture within the pixel limit in any sensible encoding.
constexpr size_t kMaxFileBytes = size_t(1) << 30;

}  // namespace

std::optional<ImageFormat> FormatOfName(const char* path) {
  if (path == nullptr) return std::nullopt;
  for (const FormatEntry& entry : kFormats) {
    if (std::strstr(path, entry.extension) != nullptr) return entry.format;
  }
  return std::nullopt;
}

const char* ExtensionOf(ImageFormat format) { return EntryOf(format).extension; }

bool DecodeImage(ImageFormat format, const uint8_t* bytes, size_t size, DecodedImage& image, std::string& error) {
  image = DecodedImage();
  std::string reason;
  bool decoded = false;
  try {
    decoded = EntryOf(format).decode(bytes, size, image, reason);
  } catch (const std::bad_alloc&) {
    reason = "out of memory for the picture";
  }
  if (!decoded) {
    image = DecodedImage();
    error = std::string(EntryOf(format).name) + ": " + reason;
  }
  return decoded;
}

bool DecodeImage(const uint8_t* bytes, size_t size, DecodedImage& image, std::string& error) {
  static constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  static constexpr uint8_t kJpegSignature[3] = {0xFF, 0xD8, 0xFF};
  if (bytes != nullptr && size >= 8 && std::memcmp(bytes, kPngSignature, 8) == 0) {
    return DecodeImage(ImageFormat::Png, bytes, size, image, error);
  }
  if (bytes != nullptr && size >= 3 && std::memcmp(bytes, kJpegSignature, 3) == 0) {
    return DecodeImage(ImageFormat::Jpeg, bytes, size, image, error);
  }
  image = DecodedImage();
  error = "neither a JPEG nor a PNG file";
  return false;
}

bool ReadImageFile(const char* path, std::vector<uint8_t>& bytes, std::string& error) {
  bytes.clear();
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    error = std::string("cannot open ") + path + ": " + std::strerror(errno);
    return false;
  }
  std::string problem;
  try {
    uint8_t block[64 * 1024];
    while (size_t got = std::fread(block, 1, sizeof block, file)) {
      if (bytes.size() + got > kMaxFileBytes) {
        problem = "the file is too large";
        break;
      }
      bytes.insert(bytes.end(), block, block + got);
    }
    if (std::ferror(file) != 0) problem = std::strerror(errno);
  } catch (const std::bad_alloc&) {
    problem = "out of memory";
  }
  std::fclose(file);
  if (problem.empty()) return true;
  error = std::string("cannot read ") + path + ": " + problem;
  bytes = {};
  return false;
}

}  // namespace ImageLib
