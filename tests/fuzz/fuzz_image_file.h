#pragma once

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imagelib/image.h"

// The readers take a path, so each input goes to a file of this process's own in /tmp, named
// with the extension that picks the reader, and is loaded through ImageF like a texture.
// A load that succeeds must give a consistent image: a fault there aborts, so the fuzzer
// keeps the input.
class FuzzImageFile {
public:
  explicit FuzzImageFile(const char* extension)
      : path("/tmp/patinex_fuzz_" + std::to_string(getpid()) + extension) {}
  ~FuzzImageFile() { std::remove(path.c_str()); }

  void Load(const uint8_t* data, size_t size) const {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size != 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);

    ImageLib::ImageF image;
    if (!image.Load(path.c_str())) {
      if (image.valid || image.samples != nullptr) std::abort();
      return;
    }
    bool bytes = (image.formatCode & 0x80) == 0;
    if (image.samples == nullptr || image.width == 0 || image.height == 0) std::abort();
    if (image.channels != 1 && image.channels != 3 && image.channels != 4) std::abort();
    if (image.formatCode != (bytes ? (image.channels == 1 ? 1u : image.channels == 3 ? 7u : 15u) : 167u)) std::abort();
    // Reading every sample also lets the sanitizers see the whole buffer.
    size_t count = size_t(image.width) * image.height * image.channels;
    for (size_t i = 0; i < count; ++i) {
      float value = image.samples[i];
      if (!std::isfinite(value) || value < 0.0f || (bytes && value > 1.0f)) std::abort();
    }
  }

private:
  std::string path;
};
