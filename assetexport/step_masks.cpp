#include "assetexport/step_masks.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>

#include "imagelib/decoded_image.h"
#include "imagelib/image_decoder.h"
#include "simulation/mask_files.h"

namespace AssetExport {
namespace {

// The mask file of a channel and step in the format asked for; for either, the JPEG where there
// is one, else the PNG.
std::string MaskPath(const std::string& folder, Simulation::MaskChannel channel, int32_t step, int32_t wanted,
                     int32_t space) {
  for (const int32_t format : {Simulation::kMaskJpeg, Simulation::kMaskPng}) {
    if (wanted != kAnyMaskFormat && format != wanted) continue;
    std::string path = Simulation::MaskFileName(folder.c_str(), channel, step, format, space);
    std::error_code code;
    if (std::filesystem::is_regular_file(path, code)) return path;
  }
  return {};
}

// Reads a mask's bytes and, when the bake reads it (decode), its grey values; a mask only carried
// into the export must at least be a JPEG or a PNG, whose type the export names.
bool LoadMask(const std::string& path, bool decode, MaskFile* mask, std::string* error) {
  mask->path = path;
  std::string why;
  if (!ImageLib::ReadImageFile(path.c_str(), mask->bytes, why)) {
    *error = why;
    return false;
  }
  static constexpr uint8_t kJpegStart[3] = {0xFF, 0xD8, 0xFF};
  static constexpr uint8_t kPngStart[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  auto startsWith = [&](const uint8_t* start, size_t length) {
    return mask->bytes.size() >= length && std::memcmp(mask->bytes.data(), start, length) == 0;
  };
  if (!decode) {
    const bool jpeg = startsWith(kJpegStart, sizeof kJpegStart);
    if (!jpeg && !startsWith(kPngStart, sizeof kPngStart)) {
      *error = path + ": neither a JPEG nor a PNG";
      return false;
    }
    mask->mimeType = jpeg ? "image/jpeg" : "image/png";
    mask->grey = TextureSampler();
    return true;
  }
  ImageLib::DecodedImage decoded;
  if (!ImageLib::DecodeImage(mask->bytes.data(), mask->bytes.size(), decoded, why)) {
    *error = path + ": " + why;
    return false;
  }
  mask->mimeType = mask->bytes[0] == 0xFF ? "image/jpeg" : "image/png";
  const size_t pixels = size_t(decoded.width) * decoded.height;
  std::vector<float> grey(pixels);
  for (size_t i = 0; i < pixels; ++i) grey[i] = decoded.Value(i * decoded.channels);
  mask->grey = TextureSampler(decoded.width, decoded.height, 1, std::move(grey));
  return true;
}

}  // namespace

std::vector<int32_t> StepsWithMasks(const std::string& folder, std::string* error, int32_t spaceCount) {
  // A bit a channel of each space.
  std::map<int32_t, uint64_t> channelsOfStep;
  spaceCount = std::clamp(spaceCount, 1, 21);
  std::error_code code;
  std::filesystem::directory_iterator entries(folder, code);
  if (code) {
    *error = "cannot read the mask folder " + folder + ": " + code.message();
    return {};
  }
  for (const std::filesystem::directory_entry& entry : entries) {
    Simulation::MaskChannel channel = Simulation::MaskChannel::kHumidity;
    int32_t step = 0, space = 0;
    if (Simulation::ParseMaskFileName(entry.path().filename().string(), &channel, &step, &space) &&
        space < spaceCount) {
      channelsOfStep[step] |= uint64_t(1) << (3 * space + int32_t(channel));
    }
  }
  const uint64_t all = (uint64_t(1) << (3 * spaceCount)) - 1;
  std::vector<int32_t> steps;
  for (const auto& [step, channels] : channelsOfStep) {
    if (channels == all) steps.push_back(step);
  }
  return steps;
}

bool LoadStepMasks(const std::string& folder, int32_t step, StepMasks* masks, std::string* error, int32_t format,
                   int32_t spaceCount, bool decodeHumidity) {
  if (step < 0) {
    std::string why;
    const std::vector<int32_t> steps = StepsWithMasks(folder, &why, spaceCount);
    if (steps.empty()) {
      *error = !why.empty() ? why
                            : "no step in " + folder + " has all three masks (mask_humidityNN, mask_dirtNN, mask_rustNN)";
      return false;
    }
    step = steps.back();
  }
  masks->step = step;
  masks->spaces.assign(size_t(std::max(spaceCount, 1)), MaskSet());
  for (size_t space = 0; space < masks->spaces.size(); ++space) {
    MaskSet& set = masks->spaces[space];
    MaskFile* files[3] = {&set.humidity, &set.dirt, &set.rust};
    for (const Simulation::MaskChannel c : Simulation::kMaskChannels) {
      const std::string path = MaskPath(folder, c, step, format, int32_t(space));
      if (path.empty()) {
        const bool png = format == Simulation::kMaskPng;
        *error = "the " + std::string(Simulation::MaskChannelName(c)) + " mask of step " + std::to_string(step) +
                 " is missing: no " +
                 Simulation::MaskFileName(folder.c_str(), c, step, png ? Simulation::kMaskPng : Simulation::kMaskJpeg,
                                          int32_t(space)) +
                 (format == kAnyMaskFormat ? " (or .png)" : "");
        return false;
      }
      // Humidity rides along as bytes unless a layer of the look reads it.
      const bool decode = decodeHumidity || c != Simulation::MaskChannel::kHumidity;
      if (!LoadMask(path, decode, files[int32_t(c)], error)) return false;
    }
  }
  return true;
}

}  // namespace AssetExport
