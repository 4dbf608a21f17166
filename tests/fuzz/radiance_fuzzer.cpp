#include "tests/fuzz/fuzz_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzDecode(ImageLib::ImageFormat::Radiance, data, size);
  return 0;
}
