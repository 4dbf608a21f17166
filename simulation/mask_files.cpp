#include "simulation/mask_files.h"

#include <cctype>
#include <cstdio>

namespace Simulation {

const char* MaskChannelName(MaskChannel channel) {
  switch (channel) {
    case MaskChannel::kHumidity: return "humidity";
    case MaskChannel::kDirt: return "dirt";
    case MaskChannel::kRust: return "rust";
  }
  return "humidity";
}

std::string MaskFileName(const char* folder, MaskChannel channel, int32_t step, int32_t format, int32_t space) {
  char spaceName[24] = "";
  if (space > 0) std::snprintf(spaceName, sizeof spaceName, "_space%d", space);
  char name[64];
  std::snprintf(name, sizeof name, "mask_%s%02d%s.%s", MaskChannelName(channel), step, spaceName,
                format == kMaskPng ? "png" : "jpg");
  std::string path = folder != nullptr ? folder : "media";
  if (!path.empty() && path.back() != '/') path += '/';
  return path + name;
}

bool ParseMaskFileName(const std::string& name, MaskChannel* channel, int32_t* step, int32_t* space) {
  for (const MaskChannel c : kMaskChannels) {
    const std::string prefix = std::string("mask_") + MaskChannelName(c);
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    size_t end = prefix.size();
    while (end < name.size() && std::isdigit(static_cast<unsigned char>(name[end]))) ++end;
    // Two digits at least, as written; at most nine, so that the step fits.
    const size_t digits = end - prefix.size();
    int32_t spaceNumber = 0;
    static const std::string kSpace = "_space";
    if (name.compare(end, kSpace.size(), kSpace) == 0) {
      const size_t first = end + kSpace.size();
      size_t last = first;
      while (last < name.size() && std::isdigit(static_cast<unsigned char>(name[last]))) ++last;
      // Written without leading zeros, from 1 on.
      if (last == first || last - first > 6 || name[first] == '0') return false;
      spaceNumber = std::stoi(name.substr(first, last - first));
      end = last;
    }
    const std::string extension = name.substr(end);
    if (digits < 2 || digits > 9 || (extension != ".jpg" && extension != ".png")) return false;
    if (channel != nullptr) *channel = c;
    if (step != nullptr) *step = std::stoi(name.substr(prefix.size(), digits));
    if (space != nullptr) *space = spaceNumber;
    return true;
  }
  return false;
}

}  // namespace Simulation
