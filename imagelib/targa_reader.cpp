#include "imagelib/targa_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "imagelib/file_reader.h"
#include "imagelib/image_limits.h"

namespace ImageLib {
namespace {

enum ImageType : uint8_t {
  kColourMapped = 1,
  kRunLengthColourMapped = 9,
  kRunLengthTrueColour = 10,
  kRunLengthGrey = 11,
};

constexpr size_t kHeaderSize = 18;
constexpr uint64_t kMaxPixelsPerPacket = 128;

struct TargaHeader {
  uint8_t idLength;
  uint8_t colourMapType;
  uint8_t imageType;
  uint16_t colourMapLength;
  uint8_t colourMapEntryBits;
  uint16_t width;
  uint16_t height;
  uint8_t depth;
};

bool ReadHeader(FileReader& file, TargaHeader& header) {
  uint8_t bytes[kHeaderSize];
  if (file.Read(bytes, kHeaderSize) != kHeaderSize) return false;
  auto word = [&](size_t at) { return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8); };
  header.idLength = bytes[0];
  header.colourMapType = bytes[1];
  header.imageType = bytes[2];
  header.colourMapLength = word(5);
  header.colourMapEntryBits = bytes[7];
  header.width = word(12);
  header.height = word(14);
  header.depth = bytes[16];
  return true;
}

// How the pixels of one depth are stored in the file and in the decoded buffer.
struct PixelLayout {
  size_t fileBytes;  // bytes per pixel in the file
  size_t channels;   // bytes per pixel in the decoded buffer
  uint32_t formatCode;
};

bool LayoutForDepth(unsigned depth, PixelLayout& layout) {
  unsigned channels = depth / 8;
  if (channels == 3 || depth == 16 || depth == 24) {
    layout.formatCode = kFormatRgb;
  } else if (channels == 4) {
    layout.formatCode = kFormatRgba;
  } else if (channels == 1) {
    layout.formatCode = kFormatGrey;
  } else {
    return false;
  }
  // Only the four standard depths are read, raw or run-length alike: a 15-bit pixel, say, is not
  // one grey byte. Run-length packets carry depth / 8 bytes per pixel, except 16-bit ones, which
  // carry two bytes like raw 16-bit data.
  if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return false;
  layout.fileBytes = depth == 16 ? 2 : channels;
  layout.channels = depth == 16 ? 3 : channels;
  return true;
}

// One 16-bit pixel (x, 5 bits red, 5 green, 5 blue, little-endian) into R, G, B bytes; the
// top bit is dropped.
inline void Expand16(const uint8_t* in, uint8_t* out) {
  unsigned v = in[0] | in[1] << 8;
  out[0] = static_cast<uint8_t>(((v >> 10) & 31) * 8);
  out[1] = static_cast<uint8_t>((v >> 2) & 0xF8);
  out[2] = static_cast<uint8_t>((v & 31) * 8);
}

// One file pixel into the decoded buffer: the file holds B, G, R(, A).
inline void StorePixel(const uint8_t* in, const PixelLayout& layout, uint8_t* out) {
  switch (layout.fileBytes) {
    case 1: out[0] = in[0]; break;
    case 2: Expand16(in, out); break;
    default:
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      if (layout.fileBytes == 4) out[3] = in[3];
  }
}

bool ReadUncompressed(FileReader& file, const PixelLayout& layout, size_t pixels, uint8_t* out) {
  if (layout.fileBytes == 2) {
    // The 2-byte pixels are read into the last two thirds of the buffer and expanded from the
    // front: pixel i is read before its three output bytes, which never reach a later pixel.
    uint8_t* in = out + pixels;
    if (file.Read(in, pixels * 2) != pixels * 2) return false;
    for (size_t i = 0; i < pixels; ++i) Expand16(in + 2 * i, out + 3 * i);
    return true;
  }
  size_t bytes = pixels * layout.fileBytes;
  if (file.Read(out, bytes) != bytes) return false;
  if (layout.fileBytes >= 3) {
    for (size_t i = 0; i < bytes; i += layout.fileBytes) std::swap(out[i], out[i + 2]);
  }
  return true;
}

// Packets until every pixel is produced: a count byte below 128 starts a raw packet of
// count + 1 pixels, one of 128 or more a run of count - 127 copies of one pixel. A packet that
// would pass the last pixel stops at it; the end of the file fails.
bool ReadRunLength(FileReader& file, const PixelLayout& layout, size_t pixels, uint8_t* out) {
  uint8_t packet[kMaxPixelsPerPacket * 4];
  size_t produced = 0;
  while (produced < pixels) {
    int count = file.GetByte();
    if (count < 0) return false;
    size_t length = count < 128 ? static_cast<size_t>(count) + 1 : static_cast<size_t>(count) - 127;
    length = std::min(length, pixels - produced);
    if (count < 128) {
      size_t bytes = length * layout.fileBytes;
      if (file.Read(packet, bytes) != bytes) return false;
      for (size_t i = 0; i < length; ++i) {
        StorePixel(packet + i * layout.fileBytes, layout, out);
        out += layout.channels;
      }
    } else {
      if (file.Read(packet, layout.fileBytes) != layout.fileBytes) return false;
      StorePixel(packet, layout, out);
      for (size_t i = 1; i < length; ++i) {
        std::memcpy(out + layout.channels, out, layout.channels);
        out += layout.channels;
      }
      out += layout.channels;
    }
    produced += length;
  }
  return true;
}

void FlipRows(uint8_t* data, size_t rowBytes, size_t height) {
  for (size_t i = 0; i < height / 2; ++i) {
    uint8_t* top = data + i * rowBytes;
    std::swap_ranges(top, top + rowBytes, data + (height - 1 - i) * rowBytes);
  }
}

}  // namespace

bool DecodeTarga(const char* path, ImageDescription& description, RawBuffer& raw) {
  FileReader file(path);
  TargaHeader header;
  if (!file.IsOpen() || !ReadHeader(file, header)) return false;
  if (header.imageType == kColourMapped || header.imageType == kRunLengthColourMapped) return false;
  bool runLength = header.imageType == kRunLengthTrueColour || header.imageType == kRunLengthGrey;
  PixelLayout layout;
  if (!LayoutForDepth(header.depth, layout)) return false;

  // A colour map, when one is present, sits between the ID field and the pixels.
  uint64_t colourMapBytes = 0;
  if (header.colourMapType == 1) {
    colourMapBytes = uint64_t(header.colourMapLength) * ((header.colourMapEntryBits + 7u) / 8u);
  }
  if (!file.Skip(header.idLength + colourMapBytes)) return false;

  size_t samples = CheckedSampleCount(header.width, header.height, layout.channels);
  if (samples == 0) return false;
  // Never allocate more than the rest of the file can describe: raw data needs every pixel's
  // bytes, and a run-length packet of one count byte and one pixel yields at most 128 pixels.
  size_t pixels = size_t(header.width) * header.height;
  uint64_t remaining = file.Remaining();
  if (runLength) {
    if (pixels > remaining / (1 + layout.fileBytes) * kMaxPixelsPerPacket) return false;
  } else if (pixels * layout.fileBytes > remaining) {
    return false;
  }

  raw.reset(new (std::nothrow) uint8_t[samples]);
  if (raw == nullptr) return false;
  bool read = runLength ? ReadRunLength(file, layout, pixels, raw.get())
                        : ReadUncompressed(file, layout, pixels, raw.get());
  if (!read) return false;
  FlipRows(raw.get(), size_t(header.width) * layout.channels, header.height);

  description.width = header.width;
  description.height = header.height;
  description.channels = static_cast<int32_t>(layout.channels);
  description.bitsPerPixel = static_cast<int32_t>(layout.channels * 8);
  description.formatCode = layout.formatCode;
  return true;
}

}  // namespace ImageLib
