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

std::string MaskFileName(const char* folder, MaskChannel channel, int32_t step, int32_t format) {
  char name[40];
  std::snprintf(name, sizeof name, "mask_%s%02d.%s", MaskChannelName(channel), step, format == kMaskPng ? "png" : "jpg");
  std::string path = folder != nullptr ? folder : "media";
  if (!path.empty() && path.back() != '/') path += '/';
  return path + name;
}

bool ParseMaskFileName(const std::string& name, MaskChannel* channel, int32_t* step) {
  for (const MaskChannel c : kMaskChannels) {
    const std::string prefix = std::string("mask_") + MaskChannelName(c);
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    size_t end = prefix.size();
    while (end < name.size() && std::isdigit(static_cast<unsigned char>(name[end]))) ++end;
    const std::string extension = name.substr(end);
    // Two digits at least, as written; at most nine, so that the step fits.
    const size_t digits = end - prefix.size();
    if (digits < 2 || digits > 9 || (extension != ".jpg" && extension != ".png")) return false;
    if (channel != nullptr) *channel = c;
    if (step != nullptr) *step = std::stoi(name.substr(prefix.size(), digits));
    return true;
  }
  return false;
}

}  // namespace Simulation
