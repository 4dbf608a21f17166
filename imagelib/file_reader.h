#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace ImageLib {

// Reads a file as raw bytes through a block buffer, so decoders can take bytes one at a
// time without a library call per byte, and can bound what a header claims by what the
// file still holds.
class FileReader {
public:
  explicit FileReader(const char* path);
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  bool IsOpen() const { return file != nullptr; }

  // Bytes between the read position and the end of the file; UINT64_MAX when the file's
  // size cannot be told (a pipe, for instance).
  uint64_t Remaining() const;

  // The next byte, or -1 at the end of the file.
  int GetByte() {
    if (position == filled && !Refill()) return -1;
    return buffer[position++];
  }

  // Gives back the byte just taken by GetByte.
  void UngetByte() { --position; }

  // Reads up to count bytes and returns how many were read; fewer only at the end of the file.
  size_t Read(void* destination, size_t count);

  // Skips count bytes; false when the file ends first.
  bool Skip(uint64_t count);

private:
  bool Refill();

  static constexpr size_t kBlockSize = 64 * 1024;

  FILE* file = nullptr;
  uint64_t fileSize = UINT64_MAX;
  uint64_t blockStart = 0;  // file offset of buffer[0]
  size_t position = 0;
  size_t filled = 0;
  std::unique_ptr<uint8_t[]> buffer;
};

}  // namespace ImageLib
