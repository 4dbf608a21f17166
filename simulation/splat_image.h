#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Simulation {

// The coverage of the splat that every sample stamps into a mask: the alpha channel of a PNG
// image, as floats in [0, 1], row 0 at the top.
class SplatImage {
public:
  // Reads the PNG at path. On failure returns false with the reason in `error` and leaves the
  // image empty.
  bool Load(const char* path, std::string& error);
  // The same from a PNG file held in memory.
  bool LoadFromMemory(const uint8_t* bytes, size_t size, std::string& error);

  uint32_t Width() const { return width; }
  uint32_t Height() const { return height; }
  const float* Alpha() const { return alpha.data(); }
  float At(uint32_t x, uint32_t y) const { return alpha[size_t(y) * width + x]; }

  // The four texels a bilinear lookup blends, stored together so that one load fetches them:
  // for texel column i and row j (each from -1 to size - 1) the entry at
  // Taps() + 4 * ((j + 1) * (Width() + 1) + (i + 1)) holds the coverage at (i, j), (i + 1, j),
  // (i, j + 1) and (i + 1, j + 1), with coordinates clamped to the image.
  const float* Taps() const { return taps.data(); }

  // Makes an image from given coverage values (rows from the top), for callers that build
  // their own splat. Values that do not fill width x height leave the image empty.
  void Assign(uint32_t width, uint32_t height, std::vector<float> alpha);

private:
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<float> alpha;
  std::vector<float> taps;
};

}  // namespace Simulation
