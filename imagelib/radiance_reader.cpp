#include "imagelib/radiance_reader.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "imagelib/byte_reader.h"
#include "imagelib/image_limits.h"

namespace ImageLib {
namespace {

constexpr char kSignature[] = "#?RADIANCE";
constexpr size_t kSignatureLength = sizeof(kSignature) - 1;
constexpr size_t kMaxResolutionLine = 2048;
constexpr uint64_t kPixelsAlwaysAccepted = uint64_t(1) << 20;
constexpr uint64_t kMaxPixelsPerByte = 64;
constexpr size_t kMinRunLengthWidth = 8;
constexpr size_t kMaxRunLengthWidth = 32767;

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

void SkipSpaces(const char*& text, const char* end) {
  while (text < end && IsSpace(*text)) ++text;
}

// A decimal number with an optional sign; false when there are no digits or it leaves the
// 32-bit range.
bool ParseNumber(const char*& text, const char* end, int64_t& value) {
  bool negative = false;
  if (text < end && (*text == '+' || *text == '-')) negative = *text++ == '-';
  const char* digits = text;
  value = 0;
  while (text < end && *text >= '0' && *text <= '9') {
    value = value * 10 + (*text++ - '0');
    if (value > INT32_MAX) return false;
  }
  if (negative) value = -value;
  return text > digits;
}

bool Expect(const char*& text, const char* end, const char* literal) {
  size_t length = std::strlen(literal);
  if (static_cast<size_t>(end - text) < length || std::memcmp(text, literal, length) != 0) return false;
  text += length;
  return true;
}

// "-Y height +X width", blanks allowed around the numbers, anything after the width ignored.
// Only this orientation (top row first, left to right) is accepted.
bool ParseResolution(const char* text, const char* end, int64_t& height, int64_t& width) {
  if (!Expect(text, end, "-Y")) return false;
  SkipSpaces(text, end);
  if (!ParseNumber(text, end, height)) return false;
  SkipSpaces(text, end);
  if (!Expect(text, end, "+X")) return false;
  SkipSpaces(text, end);
  if (!ParseNumber(text, end, width)) return false;
  return height > 0 && width > 0;
}

// The signature, the header lines up to the first empty one, and the resolution line.
bool ReadHeader(ByteReader& file, int64_t& height, int64_t& width) {
  char signature[kSignatureLength];
  if (file.Read(signature, kSignatureLength) != kSignatureLength ||
      std::memcmp(signature, kSignature, kSignatureLength) != 0) {
    return false;
  }
  // The byte after the signature ends its line, so an empty line may follow at once.
  int previous = file.GetByte();
  for (;;) {
    int c = file.GetByte();
    if (c < 0) return false;
    if (c == '\n' && previous == '\n') break;
    previous = c;
  }
  char line[kMaxResolutionLine];
  size_t length = 0;
  for (;;) {
    int c = file.GetByte();
    if (c < 0) break;
    if (length == kMaxResolutionLine) return false;
    line[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  return ParseResolution(line, line + length, height, width);
}

// Pixels first to n - 1 of a flat scanline, 4 bytes each. A pixel 1, 1, 1, E repeats the
// previous pixel E << shift times; the shift grows by 8 with each repeat code in a row.
bool ReadFlat(ByteReader& file, uint8_t* scanline, size_t first, size_t n) {
  unsigned shift = 0;
  size_t x = first;
  while (x < n) {
    uint8_t pixel[4];
    if (file.Read(pixel, 4) != 4) return false;
    if (pixel[0] == 1 && pixel[1] == 1 && pixel[2] == 1) {
      if (x == 0) return false;
      // Past a shift of 24 any count exceeds a scanline of at most 2^31 pixels.
      if (shift >= 32 && pixel[3] != 0) return false;
      uint64_t count = shift >= 32 ? 0 : uint64_t(pixel[3]) << shift;
      if (count > n - x) return false;
      for (uint64_t i = 0; i < count; ++i, ++x) std::memcpy(scanline + 4 * x, scanline + 4 * (x - 1), 4);
      if (shift < 32) shift += 8;
    } else {
      std::memcpy(scanline + 4 * x, pixel, 4);
      ++x;
      shift = 0;
    }
  }
  return true;
}

// Four runs of components, R, G, B, E in turn, each filling all n positions: a count above
// 128 repeats one value count - 128 times, otherwise count values follow.
bool ReadComponentRuns(ByteReader& file, uint8_t* scanline, size_t n) {
  uint8_t values[128];
  for (size_t component = 0; component < 4; ++component) {
    size_t x = 0;
    while (x < n) {
      int count = file.GetByte();
      if (count < 0) return false;
      if (count > 128) {
        size_t run = static_cast<size_t>(count) - 128;
        int value = file.GetByte();
        if (run > n - x || value < 0) return false;
        for (size_t i = 0; i < run; ++i) scanline[4 * x++ + component] = static_cast<uint8_t>(value);
      } else {
        size_t run = static_cast<size_t>(count);
        if (run > n - x || file.Read(values, run) != run) return false;
        for (size_t i = 0; i < run; ++i) scanline[4 * x++ + component] = values[i];
      }
    }
  }
  return true;
}

bool ReadScanline(ByteReader& file, uint8_t* scanline, size_t n) {
  if (n >= kMinRunLengthWidth && n <= kMaxRunLengthWidth) {
    int first = file.GetByte();
    if (first < 0) return false;
    if (first == 2) {
      uint8_t next[3];
      if (file.Read(next, 3) != 3) return false;
      if (next[0] == 2 && next[1] < 128) return ReadComponentRuns(file, scanline, n);
      // Not a run-length marker after all: the four bytes are the first flat pixel.
      scanline[0] = 2;
      std::memcpy(scanline + 1, next, 3);
      return ReadFlat(file, scanline, 1, n);
    }
    file.UngetByte();
  }
  return ReadFlat(file, scanline, 0, n);
}

// 2^(E - 128) for every exponent byte; E = 0 is black.
struct ExponentTable {
  float factor[256];
  ExponentTable() {
    factor[0] = 0.0f;
    for (int e = 1; e < 256; ++e) factor[e] = std::ldexp(1.0f, e - 128);
  }
};

void ConvertScanline(const uint8_t* scanline, size_t n, uint8_t* row) {
  static const ExponentTable table;
  for (size_t x = 0; x < n; ++x) {
    const uint8_t* rgbe = scanline + 4 * x;
    float factor = table.factor[rgbe[3]];
    float rgb[3] = {rgbe[0] / 256.0f * factor, rgbe[1] / 256.0f * factor, rgbe[2] / 256.0f * factor};
    std::memcpy(row + x * sizeof(rgb), rgb, sizeof(rgb));
  }
}

}  // namespace

bool DecodeRadiance(const uint8_t* bytes, size_t size, DecodedImage& image, std::string& error) {
  ByteReader file(bytes, size);
  int64_t height = 0;
  int64_t width = 0;
  if (!ReadHeader(file, height, width)) {
    error = "no signature, header and \"-Y height +X width\" line";
    return false;
  }
  size_t samples = CheckedSampleCount(width, height, 3);
  uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (samples == 0 || (pixels > kPixelsAlwaysAccepted && pixels > file.Remaining() * kMaxPixelsPerByte)) {
    error = "the picture is too large for its data";
    return false;
  }

  image.samples.resize(samples * sizeof(float));
  std::vector<uint8_t> scanline(static_cast<size_t>(width) * 4);
  image.width = static_cast<uint32_t>(width);
  image.height = static_cast<uint32_t>(height);
  image.channels = 3;
  image.type = SampleType::Float;

  size_t rowBytes = static_cast<size_t>(width) * 3 * sizeof(float);
  // A picture cut short or broken off is refused, as the other readers refuse theirs, rather
  // than passed off as whole with black rows.
  for (size_t y = 0; y < image.height; ++y) {
    if (!ReadScanline(file, scanline.data(), image.width)) {
      error = "row " + std::to_string(y + 1) + " of " + std::to_string(image.height) +
              (file.Remaining() == 0 ? " is cut short: the data end there" : " is broken");
      return false;
    }
    ConvertScanline(scanline.data(), image.width, image.samples.data() + y * rowBytes);
  }
  return true;
}

}  // namespace ImageLib
