#include "imagelib/targa_reader.h"

#include <algorithm>
#include <cstring>

#include "imagelib/byte_reader.h"
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

bool ReadHeader(ByteReader& file, TargaHeader& header) {
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
};

// Only the four standard depths are read, raw or run-length alike: a 15-bit pixel, say, is not
// one grey byte. Run-length packets carry depth / 8 bytes per pixel, except 16-bit ones, which
// carry two bytes like raw 16-bit data.
bool LayoutForDepth(unsigned depth, PixelLayout& layout) {
  if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return false;
  layout.fileBytes = depth == 16 ? 2 : depth / 8;
  layout.channels = depth == 16 ? 3 : depth / 8;
  return true;
}

bool Fail(std::string& error, const char* reason) {
  error = reason;
  return false;
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

bool ReadUncompressed(ByteReader& file, const PixelLayout& layout, size_t pixels, uint8_t* out) {
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
bool ReadRunLength(ByteReader& file, const PixelLayout& layout, size_t pixels, uint8_t* out) {
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

bool DecodeTarga(const uint8_t* bytes, size_t size, DecodedImage& image, std::string& error) {
  ByteReader file(bytes, size);
  TargaHeader header;
  if (!ReadHeader(file, header)) return Fail(error, "the header is cut short");
  if (header.imageType == kColourMapped || header.imageType == kRunLengthColourMapped) {
    return Fail(error, "colour-mapped files are not read");
  }
  bool runLength = header.imageType == kRunLengthTrueColour || header.imageType == kRunLengthGrey;
  PixelLayout layout;
  if (!LayoutForDepth(header.depth, layout)) return Fail(error, "the pixel depth is not 8, 16, 24 or 32 bits");

  // A colour map, when one is present, sits between the ID field and the pixels.
  uint64_t colourMapBytes = 0;
  if (header.colourMapType == 1) {
    colourMapBytes = uint64_t(header.colourMapLength) * ((header.colourMapEntryBits + 7u) / 8u);
  }
  if (!file.Skip(header.idLength + colourMapBytes)) return Fail(error, "the data end before the pixels");

  size_t samples = CheckedSampleCount(header.width, header.height, layout.channels);
  if (samples == 0) return Fail(error, "the picture is empty or too large");
  // Never allocate more than the rest of the data can describe: raw data needs every pixel's
  // bytes, and a run-length packet of one count byte and one pixel yields at most 128 pixels.
  size_t pixels = size_t(header.width) * header.height;
  uint64_t remaining = file.Remaining();
  if (runLength ? pixels > remaining / (1 + layout.fileBytes) * kMaxPixelsPerPacket
                : pixels * layout.fileBytes > remaining) {
    return Fail(error, "the data end before the picture does");
  }

  image.samples.resize(samples);
  bool read = runLength ? ReadRunLength(file, layout, pixels, image.samples.data())
                        : ReadUncompressed(file, layout, pixels, image.samples.data());
  if (!read) return Fail(error, "the data end before the picture does");
  FlipRows(image.samples.data(), size_t(header.width) * layout.channels, header.height);
  image.width = header.width;
  image.height = header.height;
  image.channels = static_cast<uint32_t>(layout.channels);
  image.type = SampleType::Byte;
  return true;
}

}  // namespace ImageLib
