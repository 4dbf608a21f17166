#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace PatinexCli {

// Reads a whole file into bytes; false with the reason in error.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// Little-endian 32-bit word at byte offset of bytes (the caller checks the bounds).
uint32_t WordAt(const std::vector<uint8_t>& bytes, size_t offset);
float FloatAt(const std::vector<uint8_t>& bytes, size_t offset);

// Writes a file of little-endian 32-bit words. The words go to a temporary file beside the
// destination, which Commit renames over it, so a failed or interrupted write never leaves a
// half-written file under the destination's name.
class WordFileWriter {
public:
  explicit WordFileWriter(std::string destination);
  WordFileWriter(const WordFileWriter&) = delete;
  WordFileWriter& operator=(const WordFileWriter&) = delete;
  ~WordFileWriter();  // removes the temporary file unless committed

  bool Open(std::string& error);
  void Word(uint32_t word);
  void Int(int32_t value) { Word(static_cast<uint32_t>(value)); }
  void Float(float value);
  void Floats(const float* values, size_t count);
  bool Commit(std::string& error);

private:
  void Flush();

  std::string destination;
  std::string temporary;
  FILE* file = nullptr;
  std::vector<uint8_t> buffer;
  bool failed = false;
  int savedErrno = 0;
};

}  // namespace PatinexCli
