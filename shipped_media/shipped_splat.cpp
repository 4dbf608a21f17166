#include "shipped_media/shipped_splat.h"

#include <cstddef>
#include <cstdint>

#include "shipped_media/shipped_files.h"

namespace ShippedMedia {

// media/SPLAT.png as it was when the program was built (made at build time).
extern const uint8_t kBuiltInSplatPng[];
extern const size_t kBuiltInSplatPngSize;

bool LoadSplat(Simulation::SplatImage& splat, std::string* error) {
  std::string why;
  const std::string path = FindShippedFile(kSplat);
  if (path.empty()) {
    if (splat.LoadFromMemory(kBuiltInSplatPng, kBuiltInSplatPngSize, why)) return true;
    *error = "no media/SPLAT.png was found and the built-in one is unreadable: " + why;
    return false;
  }
  if (splat.Load(path.c_str(), why)) return true;
  *error = "cannot read the splat " + path + ": " + why;
  return false;
}

}  // namespace ShippedMedia
