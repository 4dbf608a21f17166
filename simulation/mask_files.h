#pragma once

#include <cstdint>
#include <string>

namespace Simulation {

// The quantities a run bakes into masks, one file each per step; the values are the channel
// numbers the bake takes.
enum class MaskChannel : int32_t { kHumidity = 0, kDirt = 1, kRust = 2 };
inline constexpr MaskChannel kMaskChannels[] = {MaskChannel::kHumidity, MaskChannel::kDirt, MaskChannel::kRust};

// The file format of the masks: 8-bit grey JPEG (what the viewer reads) or 16-bit grey PNG.
inline constexpr int32_t kMaskJpeg = 0;
inline constexpr int32_t kMaskPng = 1;

// The channel's word in file names and messages: "humidity", "dirt" or "rust".
const char* MaskChannelName(MaskChannel channel);

// The file a step's mask of a channel is saved to: FOLDER/mask_humidity07.jpg for humidity at
// step 7 ("dirt" and "rust" for the others; three digits from step 100 on; .png instead of .jpg
// for kMaskPng). Mask space 0 (see MaskSpaces) has these names; space s >= 1 adds "_space<s>"
// before the extension: mask_humidity07_space1.jpg. A null folder means "media"; an empty one the
// current folder.
std::string MaskFileName(const char* folder, MaskChannel channel, int32_t step, int32_t format = kMaskJpeg,
                         int32_t space = 0);

// Reads a file name (no folder) the way MaskFileName writes it, in either format: the channel,
// step and mask space it stands for (any may be null), or false for any other name.
bool ParseMaskFileName(const std::string& name, MaskChannel* channel, int32_t* step, int32_t* space = nullptr);

}  // namespace Simulation
