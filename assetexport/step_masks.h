#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assetexport/texture_sampler.h"

namespace AssetExport {

// One mask of a step as found on disk: its file's bytes (embedded in or copied beside the
// exported asset as they are) and its grey values for the bake.
struct MaskFile {
  std::string path;
  std::string mimeType;  // image/jpeg or image/png
  std::vector<uint8_t> bytes;
  TextureSampler grey;  // one channel
};

// The humidity, dirt and rust masks of one mask space at one step.
struct MaskSet {
  MaskFile humidity;
  MaskFile dirt;
  MaskFile rust;
};

// The masks of one step, one set a mask space (see Simulation::MaskSpaces), space 0 first
// (mask_humidityNN, mask_dirtNN, mask_rustNN, .jpg or .png, as a run writes them; the files of
// space s >= 1 end in _space<s>).
struct StepMasks {
  int32_t step = -1;
  std::vector<MaskSet> spaces;
};

// The steps that have all three masks of each of the first spaceCount mask spaces in folder, in
// increasing order; empty when none does (or the folder cannot be read, with the reason in error).
std::vector<int32_t> StepsWithMasks(const std::string& folder, std::string* error, int32_t spaceCount = 1);

// Either mask format: the JPEG where a step has both.
inline constexpr int32_t kAnyMaskFormat = -1;

// Reads the three masks of each of spaceCount mask spaces at a step (the highest
// complete one for step < 0), of the given format (Simulation::kMaskJpeg, kMaskPng or
// kAnyMaskFormat), and decodes rust and dirt (and humidity when a look needs it). False, with what is wrong (naming the file) in
// error, when a mask is missing, a mask it decodes does not decode, or humidity is neither a JPEG nor
// a PNG.
bool LoadStepMasks(const std::string& folder, int32_t step, StepMasks* masks, std::string* error,
                   int32_t format = kAnyMaskFormat, int32_t spaceCount = 1, bool decodeHumidity = false);

}  // namespace AssetExport
