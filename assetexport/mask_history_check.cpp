#include "assetexport/mask_history_check.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "assetexport/step_masks.h"
#include "imagelib/decoded_image.h"
#include "imagelib/image_decoder.h"
#include "simulation/mask_files.h"
#include "simulation/mask_spaces.h"
#include "simulation/run_record.h"

namespace AssetExport {
namespace {

namespace fs = std::filesystem;

struct MaskEntry {
  fs::path path;
  int32_t step = 0;
  int32_t space = 0;
};

std::string SizeText(uint32_t width, uint32_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

// The size of the image in a mask file, decoded as the export decodes it.
bool MaskSize(const fs::path& path, uint32_t* width, uint32_t* height, std::string* error) {
  std::vector<uint8_t> bytes;
  ImageLib::DecodedImage image;
  std::string why;
  if (!ImageLib::ReadImageFile(path.c_str(), bytes, why) || !ImageLib::DecodeImage(bytes.data(), bytes.size(), image, why)) {
    *error = path.string() + ": " + why;
    return false;
  }
  *width = image.width;
  *height = image.height;
  return true;
}

int32_t FormatOf(const fs::path& mask) { return mask.extension() == ".png" ? Simulation::kMaskPng : Simulation::kMaskJpeg; }

}  // namespace

bool CheckMaskHistory(const RenderLib::TriangleSoup& model, const std::string& folder, int32_t step,
                      std::string* warning, std::string* error) {
  std::vector<MaskEntry> masks;
  std::error_code code;
  for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
    MaskEntry entry;
    std::error_code kind;
    if (Simulation::ParseMaskFileName(it->path().filename().string(), nullptr, &entry.step, &entry.space) &&
        it->is_regular_file(kind)) {
      entry.path = it->path();
      masks.push_back(entry);
    }
  }
  // Reading the masks says what is wrong with a folder that cannot be read or holds none.
  if (code || masks.empty()) return true;
  std::sort(masks.begin(), masks.end(), [](const MaskEntry& a, const MaskEntry& b) { return a.path < b.path; });
  const std::string notOne = "the masks in " + folder + " are not one history of this model: ";

  Simulation::RunRecord record;
  std::string why;
  const Simulation::RecordState state = Simulation::ReadRunRecord(folder, &record, &why);
  if (state == Simulation::RecordState::kUnreadable) {
    *error = "the masks in " + folder + " cannot be checked: " + why;
    return false;
  }
  if (state == Simulation::RecordState::kNone) {
    uint32_t width = 0, height = 0;
    const fs::path* first = nullptr;
    for (const MaskEntry& mask : masks) {
      uint32_t w = 0, h = 0;
      if (!MaskSize(mask.path, &w, &h, error)) return false;
      if (first == nullptr) {
        first = &mask.path;
        width = w;
        height = h;
      } else if (w != width || h != height) {
        *error = notOne + "it has no run record (" + Simulation::kRunRecordName + ") and its masks are of different sizes (" +
                 first->filename().string() + " " + SizeText(width, height) + ", " + mask.path.filename().string() +
                 " " + SizeText(w, h) + ")";
        return false;
      }
    }
    *warning = folder + " has no run record (" + Simulation::kRunRecordName +
               "): its masks, all " + SizeText(width, height) +
               ", are taken as one history of this model, which cannot be checked";
    return true;
  }

  Simulation::HistoryIdentity mine = record.identity;
  mine.modelChecksum = Simulation::ModelChecksum(model);
  if (mine.modelChecksum != record.identity.modelChecksum) {
    *error = notOne + "its run record says they are " + mine.Difference(record.identity);
    return false;
  }
  // The model's materials decide its mask spaces; masks made for another layout of them do not
  // fit it.
  const int32_t spaceCount = Simulation::AssignMaskSpaces(model).count;
  if (record.identity.maskSpaces != spaceCount) {
    mine.maskSpaces = spaceCount;
    *error = notOne + "its run record says they are " + mine.Difference(record.identity);
    return false;
  }
  for (const MaskEntry& mask : masks) {
    if (mask.space >= spaceCount) {
      *error = notOne + mask.path.filename().string() + " is of mask space " + std::to_string(mask.space) +
               ", and the model has " + std::to_string(spaceCount) + ": it was left by another run";
      return false;
    }
    if (!record.HoldsStep(mask.step) || FormatOf(mask.path) != record.identity.maskFormat) {
      *error = notOne + mask.path.filename().string() + " is not a step its run record lists (" +
               (record.HoldsStep(mask.step) ? "the record's masks are " +
                                                  std::string(record.identity.maskFormat == Simulation::kMaskPng ? "png" : "jpg")
                                            : "no step " + std::to_string(mask.step + 1)) +
               "): it was left by another run";
      return false;
    }
  }
  if (step < 0) {
    std::string unused;
    const std::vector<int32_t> steps = StepsWithMasks(folder, &unused, spaceCount);
    if (steps.empty()) return true;
    step = steps.back();
  }
  for (int32_t index = 0; index < 3 * spaceCount; ++index) {
    const Simulation::MaskChannel channel = Simulation::kMaskChannels[index % 3];
    const fs::path path =
        Simulation::MaskFileName(folder.c_str(), channel, step, record.identity.maskFormat, index / 3);
    std::error_code exists;
    if (!fs::is_regular_file(path, exists)) continue;  // the export says what is missing
    uint32_t width = 0, height = 0;
    if (!MaskSize(path, &width, &height, error)) return false;
    if (width != record.identity.maskWidth || height != record.identity.maskHeight) {
      *error = notOne + path.filename().string() + " is " + SizeText(width, height) + ", its run record's masks " +
               SizeText(record.identity.maskWidth, record.identity.maskHeight);
      return false;
    }
  }
  return true;
}

}  // namespace AssetExport
