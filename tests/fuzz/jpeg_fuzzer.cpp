#include "tests/fuzz/fuzz_image_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const FuzzImageFile file(".jpg");
  file.Load(data, size);
  return 0;
}
