#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform_os/temporary_file.h"

namespace PatinexCli {

// Reads a whole regular file into bytes (a FIFO or a device is refused unread); false with the
// reason in error.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// Little-endian 32-bit word at byte offset of bytes (the caller checks the bounds).
uint32_t WordAt(const std::vector<uint8_t>& bytes, size_t offset);
float FloatAt(const std::vector<uint8_t>& bytes, size_t offset);

// Writes a file of little-endian 32-bit words. The words go to a file out of sight
// (Platform::TemporaryFile) that Commit puts under the destination's name, so a failed or
// interrupted write never leaves a half-written file under that name.
class WordFileWriter {
public:
  explicit WordFileWriter(std::string destination);
  WordFileWriter(const WordFileWriter&) = delete;
  WordFileWriter& operator=(const WordFileWriter&) = delete;
  ~WordFileWriter();  // drops the file unless committed

  bool Open(std::string& error);
  void Word(uint32_t word);
  void Int(int32_t value) { Word(static_cast<uint32_t>(value)); }
  void Float(float value);
  void Floats(const float* values, size_t count);
  bool Commit(std::string& error);

private:
  void Flush();

  std::string destination;
  Platform::TemporaryFile file;
  bool opened = false;
  std::vector<uint8_t> buffer;
  bool failed = false;
  int savedErrno = 0;
};

}  // namespace PatinexCli
