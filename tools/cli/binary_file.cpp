#include "tools/cli/binary_file.h"

#include <cerrno>
#include <cstring>
#include <random>

namespace PatinexCli {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  bytes.clear();
  uint8_t block[1 << 16];
  size_t read;
  while ((read = std::fread(block, 1, sizeof(block), file)) > 0) bytes.insert(bytes.end(), block, block + read);
  bool ok = !std::ferror(file);
  if (!ok) error = "cannot read " + path + ": " + std::strerror(errno);
  std::fclose(file);
  return ok;
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

WordFileWriter::WordFileWriter(std::string destinationPath) : destination(std::move(destinationPath)) {
  temporary = destination + ".partial-" + std::to_string(std::random_device{}());
  buffer.reserve(1 << 16);
}

WordFileWriter::~WordFileWriter() {
  if (file != nullptr) {
    std::fclose(file);
    std::remove(temporary.c_str());
  }
}

bool WordFileWriter::Open(std::string& error) {
  file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) {
    error = "cannot create " + temporary + ": " + std::strerror(errno);
    return false;
  }
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
  if (file == nullptr || buffer.empty()) return;
  if (!failed && std::fwrite(buffer.data(), 1, buffer.size(), file) != buffer.size()) {
    failed = true;
    savedErrno = errno;
  }
  buffer.clear();
}

bool WordFileWriter::Commit(std::string& error) {
  if (file == nullptr) {
    error = "nothing to write to " + destination;
    return false;
  }
  Flush();
  FILE* closing = file;
  file = nullptr;
  if (std::fclose(closing) != 0 && !failed) {
    failed = true;
    savedErrno = errno;
  }
  if (!failed && std::rename(temporary.c_str(), destination.c_str()) != 0) {
    failed = true;
    savedErrno = errno;
  }
  if (failed) {
    error = "cannot write " + destination + ": " + std::strerror(savedErrno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace PatinexCli
