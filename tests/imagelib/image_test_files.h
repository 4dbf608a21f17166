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

// A decoder's result, with the float samples copied out for Radiance pictures.
struct Decoded {
  bool ok = false;
  ImageLib::DecodedImage image;
  std::string error;

  const Bytes& Samples() const { return image.samples; }
  std::vector<float> Floats() const {
    std::vector<float> floats(image.samples.size() / sizeof(float));
    if (!floats.empty()) std::memcpy(floats.data(), image.samples.data(), image.samples.size());
    return floats;
  }
};

using DecoderFunction = bool (*)(const uint8_t*, size_t, ImageLib::DecodedImage&, std::string&);

inline Decoded DecodeWith(DecoderFunction decoder, const Bytes& file) {
  Decoded result;
  result.ok = decoder(file.data(), file.size(), result.image, result.error);
  return result;
}
