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

// The humidity, dirt and rust masks of one step (mask_humidityNN, mask_dirtNN, mask_rustNN,
// .jpg or .png, as a run writes them).
struct StepMasks {
  int32_t step = -1;
  MaskFile humidity;
  MaskFile dirt;
  MaskFile rust;
};

// The steps that have all three masks in folder, in increasing order; empty when none does (or
// the folder cannot be read, with the reason in error).
std::vector<int32_t> StepsWithMasks(const std::string& folder, std::string* error);

// Either mask format: the JPEG where a step has both.
inline constexpr int32_t kAnyMaskFormat = -1;

// Reads and decodes the three masks of a step (the highest complete one for step < 0), of the
// given format (Simulation::kMaskJpeg, kMaskPng or kAnyMaskFormat). False, with what is wrong
// (naming the file) in error, when a mask is missing or does not decode.
bool LoadStepMasks(const std::string& folder, int32_t step, StepMasks* masks, std::string* error,
                   int32_t format = kAnyMaskFormat);

}  // namespace AssetExport
