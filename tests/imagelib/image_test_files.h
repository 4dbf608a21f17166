#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "imagelib/image_decoder.h"

using Bytes = std::vector<uint8_t>;

inline Bytes operator+(Bytes first, const Bytes& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A fresh folder under the system's temporary folder for the files one test writes, removed
// with everything in it when the test ends.
class ScratchFolder {
public:
  ScratchFolder() {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    path = std::filesystem::temp_directory_path() /
           (std::string("patinex_") + test->test_suite_name() + "_" + test->name() + "_" +
            std::to_string(std::random_device{}()));
    std::filesystem::create_directories(path);
  }
  ~ScratchFolder() { std::filesystem::remove_all(path); }

  std::string Write(const std::string& name, const Bytes& bytes) const {
    std::filesystem::path file = path / name;
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file.string();
  }

  std::filesystem::path path;
};

// A decoder's result with the raw buffer copied out (bytes, or the bytes of the floats).
struct Decoded {
  bool ok = false;
  ImageLib::ImageDescription description;
  Bytes raw;

  std::vector<float> Floats() const {
    std::vector<float> floats(raw.size() / sizeof(float));
    if (!floats.empty()) std::memcpy(floats.data(), raw.data(), raw.size());
    return floats;
  }
};

using DecoderFunction = bool (*)(const char*, ImageLib::ImageDescription&, ImageLib::RawBuffer&);

inline Decoded DecodeWith(DecoderFunction decoder, const std::string& path) {
  Decoded result;
  ImageLib::RawBuffer raw;
  result.ok = decoder(path.c_str(), result.description, raw);
  if (result.ok) {
    const ImageLib::ImageDescription& d = result.description;
    size_t size = (d.formatCode & ImageLib::kFormatFloatSamples) ? sizeof(float) : 1;
    result.raw.assign(raw.get(), raw.get() + size_t(d.width) * d.height * d.channels * size);
  }
  return result;
}
