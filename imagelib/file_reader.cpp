#include "imagelib/file_reader.h"

#include <cstring>
#include <new>

namespace ImageLib {

FileReader::FileReader(const char* path) {
  if (path == nullptr) return;
  buffer.reset(new (std::nothrow) uint8_t[kBlockSize]);
  if (buffer == nullptr) return;
  file = std::fopen(path, "rb");
  if (file == nullptr) return;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    long size = std::ftell(file);
    if (size >= 0 && std::fseek(file, 0, SEEK_SET) == 0) fileSize = static_cast<uint64_t>(size);
  }
  std::clearerr(file);
}

FileReader::~FileReader() {
  if (file != nullptr) std::fclose(file);
}

uint64_t FileReader::Remaining() const {
  if (fileSize == UINT64_MAX) return UINT64_MAX;
  uint64_t consumed = blockStart + position;
  return consumed < fileSize ? fileSize - consumed : 0;
}

bool FileReader::Refill() {
  if (file == nullptr) return false;
  blockStart += filled;
  position = 0;
  filled = std::fread(buffer.get(), 1, kBlockSize, file);
  return filled > 0;
}

size_t FileReader::Read(void* destination, size_t count) {
  uint8_t* out = static_cast<uint8_t*>(destination);
  size_t done = 0;
  while (done < count) {
    if (position == filled) {
      // Large reads go straight into the destination rather than through the buffer.
      if (count - done >= kBlockSize && file != nullptr) {
        blockStart += filled;
        position = filled = 0;
        size_t got = std::fread(out + done, 1, count - done, file);
        blockStart += got;
        done += got;
        break;
      }
      if (!Refill()) break;
    }
    size_t take = filled - position < count - done ? filled - position : count - done;
    std::memcpy(out + done, buffer.get() + position, take);
    position += take;
    done += take;
  }
  return done;
}

bool FileReader::Skip(uint64_t count) {
  while (count > 0) {
    if (position == filled && !Refill()) return false;
    size_t take = filled - position < count ? filled - position : static_cast<size_t>(count);
    position += take;
    count -= take;
  }
  return true;
}

}  // namespace ImageLib
