#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ImageLib {

// Reads bytes held in memory one at a time or in runs, never past their end, so decoders can
// also bound what a header claims by what is left.
class ByteReader {
public:
  ByteReader(const uint8_t* bytes, size_t size) : bytes(bytes), size(bytes != nullptr ? size : 0) {}

  size_t Remaining() const { return size - position; }

  // The next byte, or -1 at the end.
  int GetByte() { return position < size ? bytes[position++] : -1; }

  // Gives back the byte just taken by GetByte.
  void UngetByte() { --position; }

  // Copies up to count bytes and returns how many were copied; fewer only at the end.
  size_t Read(void* destination, size_t count) {
    if (count > Remaining()) count = Remaining();
    if (count != 0) std::memcpy(destination, bytes + position, count);
    position += count;
    return count;
  }

  // Skips count bytes; false when the data ends first.
  bool Skip(uint64_t count) {
    if (count > Remaining()) return false;
    position += static_cast<size_t>(count);
    return true;
  }

private:
  const uint8_t* bytes;
  size_t size;
  size_t position = 0;
};

}  // namespace ImageLib
