#include "imagelib/image_decoder.h"

#include <cstring>
#include <new>

#include "imagelib/jpeg_reader.h"
#include "imagelib/png_reader.h"
#include "imagelib/radiance_reader.h"
#include "imagelib/targa_reader.h"
#include "platform_os/file_system.h"

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
  if (path == nullptr) {
    error = "no image file named";
    return false;
  }
  return Platform::ReadRegularFile(path, bytes, kMaxFileBytes, &error);
}

}  // namespace ImageLib
