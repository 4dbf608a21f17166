#include "tools/cli/binary_file.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform_os/file_system.h"

namespace PatinexCli {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  return Platform::ReadRegularFile(path, bytes, UINT64_MAX, &error);
}

uint32_t WordAt(const std::vector<uint8_t>& bytes, size_t offset) {
  return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 | uint32_t(bytes[offset + 2]) << 16 |
         uint32_t(bytes[offset + 3]) << 24;
}

float FloatAt(const std::vector<uint8_t>& bytes, size_t offset) {
  uint32_t word = WordAt(bytes, offset);
  float value;
  std::memcpy(&value, &word, sizeof(value));
  return value;
}

WordFileWriter::WordFileWriter(std::string destinationPath)
    : destination(std::move(destinationPath)), file(destination) {
  buffer.reserve(1 << 16);
}

WordFileWriter::~WordFileWriter() = default;

bool WordFileWriter::Open(std::string& error) {
  std::string why;
  if (!file.Create(&why)) {
    error = "cannot create " + destination + ": " + why;
    return false;
  }
  opened = true;
  return true;
}

void WordFileWriter::Word(uint32_t word) {
  const uint8_t bytes[4] = {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)};
  buffer.insert(buffer.end(), bytes, bytes + 4);
  if (buffer.size() >= (1 << 16) - 4) Flush();
}

void WordFileWriter::Float(float value) {
  uint32_t word;
  std::memcpy(&word, &value, sizeof(word));
  Word(word);
}

void WordFileWriter::Floats(const float* values, size_t count) {
  for (size_t i = 0; i < count; ++i) Float(values[i]);
}

void WordFileWriter::Flush() {
  if (!opened || buffer.empty()) return;
  if (!failed && std::fwrite(buffer.data(), 1, buffer.size(), file.File()) != buffer.size()) {
    failed = true;
    savedErrno = errno;
  }
  buffer.clear();
}

bool WordFileWriter::Commit(std::string& error) {
  if (!opened) {
    error = "nothing to write to " + destination;
    return false;
  }
  Flush();
  std::string why;
  if (failed) {
    why = std::strerror(savedErrno);
  } else if (!file.Publish(&why)) {
    failed = true;
  }
  opened = false;
  if (failed) {
    error = "cannot write " + destination + ": " + why;
    return false;
  }
  return true;
}

}  // namespace PatinexCli
