#include "simulation/mask_baking.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "imagelib/jpeg_writer.h"
#include "imagelib/png_writer.h"
#include "platform_os/temporary_file.h"
#include "simulation/sample_splats.h"
#include "simulation/splat_image.h"
#include "simulation/splat_profile.h"
#include "simulation/splat_raster.h"

namespace Simulation {
namespace {


bool EndsWith(const char* text, const char* ending) {
  const size_t length = std::strlen(text), endingLength = std::strlen(ending);
  return length >= endingLength && std::strcmp(text + length - endingLength, ending) == 0;
}

// What a bake keeps from one step to the next: the rasters and buffers (so that a step's
// bake neither allocates nor faults in fresh pages) and the round profile of the splat last
// seen, which only changes when the splat does.
struct BakeState {
  std::mutex lock;
  std::unique_ptr<SplatRaster> rasters[3];
  std::unique_ptr<uint8_t[]> grey8[3];
  std::unique_ptr<uint16_t[]> grey16[3];
  SplatScratch scratch;
  std::vector<float> profiledSplat;
  uint32_t profiledWidth = 0;
  SplatProfile profile;
};

BakeState& State() {
  static BakeState state;
  return state;
}

// Checks one mask's arguments; returns 0 or the code BakeAndSaveMask gives for them.
int32_t CheckArguments(int32_t channel, const char* fileName, uint32_t width, uint32_t height) {
  if (fileName == nullptr || fileName[0] == '\0') {
    std::fprintf(stderr, "mask not written: no file name given\n");
    return kMaskBadArguments;
  }
  if (channel < 0 || channel > 2) {
    std::fprintf(stderr, "mask %s not written: channel %d is not 0 (humidity), 1 (dirt) or 2 (rust)\n", fileName,
                 channel);
    return kMaskBadArguments;
  }
  const bool png = EndsWith(fileName, ".png");
  const uint32_t maxSide = png ? ImageLib::kMaxPngDimension : ImageLib::kMaxJpegDimension;
  if (width == 0 || height == 0 || width > maxSide || height > maxSide) {
    std::fprintf(stderr, "mask %s not written: a %s mask cannot be %u x %u pixels\n", fileName, png ? "PNG" : "JPEG",
                 width, height);
    return kMaskBadArguments;
  }
  return 0;
}

// Makes (or keeps) slot's raster and output buffer at this size.
bool Prepare(BakeState& state, int slot, uint32_t width, uint32_t height, bool png) {
  try {
    std::unique_ptr<SplatRaster>& raster = state.rasters[slot];
    if (raster == nullptr || raster->Width() != width || raster->Height() != height) {
      raster.reset();
      state.grey8[slot].reset();
      state.grey16[slot].reset();
      raster = std::make_unique<SplatRaster>(width, height);
    } else {
      raster->Clear();
    }
    if (png && state.grey16[slot] == nullptr) state.grey16[slot].reset(new uint16_t[size_t(width) * height]);
    if (!png && state.grey8[slot] == nullptr) state.grey8[slot].reset(new uint8_t[size_t(width) * height]);
  } catch (const std::bad_alloc&) {
    state.rasters[slot].reset();
    return false;
  }
  return true;
}

// The round profile of this splat, worked out again only when the splat differs from the last.
const SplatProfile& ProfileOf(BakeState& state, const SplatImage& splat) {
  const float* pixels = splat.Alpha();
  const size_t size = size_t(splat.Width()) * splat.Height();
  if (size != state.profiledSplat.size() || splat.Width() != state.profiledWidth ||
      !std::equal(pixels, pixels + size, state.profiledSplat.begin())) {
    state.profile.Build(splat);
    state.profiledSplat.assign(pixels, pixels + size);
    state.profiledWidth = splat.Width();
  }
  return state.profile;
}

bool Stopped(const std::atomic<bool>* stop) { return stop != nullptr && stop->load(std::memory_order_relaxed); }

// Turns slot's stamps into the mask's file, written out of sight (published only once every
// mask of the bake is done). The file is made only now, with its data ready, so that a process
// killed while baking leaves as little as possible.
int32_t Render(BakeState& state, int slot, const SplatImage& splat, const SplatProfile& profile, const char* fileName,
               bool png, const std::atomic<bool>* stop, std::unique_ptr<Platform::TemporaryFile>& output,
               int32_t space) {
  SplatRaster& raster = *state.rasters[slot];
  // A raster left part-way is cleared when the next bake prepares it.
  if (!DrawSplatStamps(state.scratch, slot, raster, splat, profile, stop, space)) return kMaskStopped;
  // The sums are cleared as they are last read, which leaves the raster ready for the next bake
  // without a pass of its own.
  raster.ResolveClearing();
  if (Stopped(stop)) return kMaskStopped;
  raster.Dilate(kMaskDilationPasses);
  const uint32_t width = raster.Width(), height = raster.Height();
  if (png) {
    raster.ToGrey16(state.grey16[slot].get());
  } else {
    raster.ToGreyClearing(state.grey8[slot].get());
  }
  if (Stopped(stop)) return kMaskStopped;

  output = std::make_unique<Platform::TemporaryFile>(fileName);
  std::string error;
  if (!output->Create(&error)) {
    std::fprintf(stderr, "mask %s not written: cannot create a file in its folder: %s\n", fileName, error.c_str());
    return kMaskNotWritten;
  }
  const bool written =
      png ? ImageLib::WritePngGrey16(output->File(), fileName, state.grey16[slot].get(), width, height, stop)
          : ImageLib::WriteGreyJpeg(output->File(), fileName, state.grey8[slot].get(), width, height, kMaskJpegQuality,
                                    stop);
  if (Stopped(stop)) return kMaskStopped;
  return written ? 0 : kMaskNotWritten;  // the writer said why
}

// Bakes channels[i] of mask space s into fileNames[s * count + i] (codes likewise) for i < count
// and every space, in one pass over the samples. The files are published once every mask of
// every space is done, so a stop leaves none of them.
void BakeChannels(const int32_t* channels, int32_t count, int32_t spaceCount, const char* const* fileNames,
                  uint32_t width, uint32_t height, const SampleMap& map, float spacing, const SplatImage& splat,
                  int32_t* codes, const std::atomic<bool>* stop) {
  // A channel is baked in every space or in none: the spaces' names differ only in a suffix.
  int32_t bakeable[3];
  int32_t bakeableCount = 0;
  for (int32_t i = 0; i < count; ++i) {
    int32_t failure = 0;
    for (int32_t space = 0; space < spaceCount; ++space) {
      const int32_t code = CheckArguments(channels[i], fileNames[space * count + i], width, height);
      codes[space * count + i] = code;
      if (failure == 0) failure = code;
    }
    if (failure == 0) {
      bakeable[bakeableCount++] = i;
    } else {
      for (int32_t space = 0; space < spaceCount; ++space) codes[space * count + i] = failure;
    }
  }
  if (bakeableCount == 0) return;
  auto setChannel = [&](int32_t i, int32_t code) {
    for (int32_t space = 0; space < spaceCount; ++space) codes[space * count + i] = code;
  };

  if (splat.Width() == 0 || splat.Height() == 0) {
    std::fprintf(stderr, "mask %s not written: the splat image is empty\n", fileNames[bakeable[0]]);
    for (int32_t k = 0; k < bakeableCount; ++k) setChannel(bakeable[k], kMaskNoSplat);
    return;
  }

  BakeState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  int32_t slotChannels[3];
  int32_t slotOf[3] = {-1, -1, -1};
  int32_t slots = 0;
  for (int32_t k = 0; k < bakeableCount; ++k) {
    const int32_t i = bakeable[k];
    if (Stopped(stop)) {
      setChannel(i, kMaskStopped);
      continue;
    }
    if (!Prepare(state, slots, width, height, EndsWith(fileNames[i], ".png"))) {
      std::fprintf(stderr, "mask %s not written: no memory for a %u x %u mask\n", fileNames[i], width, height);
      setChannel(i, kMaskNoMemory);
      continue;
    }
    slotChannels[slots] = channels[i];
    slotOf[slots] = i;
    ++slots;
  }
  if (slots == 0) return;
  auto failAll = [&](int32_t code) {
    for (int32_t slot = 0; slot < slots; ++slot) setChannel(slotOf[slot], code);
  };

  const SplatProfile* profile = nullptr;
  std::vector<std::unique_ptr<Platform::TemporaryFile>> outputs;
  try {
    PrepareSplatStamps(map, slotChannels, slots, width, height, spacing, state.scratch, spaceCount);
    profile = &ProfileOf(state, splat);
    outputs.resize(size_t(spaceCount) * 3);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "masks of %s and the others of its step not written: no memory to place the splats of %u "
                 "samples\n", fileNames[slotOf[0]], map.Count());
    failAll(kMaskNoMemory);
    return;
  }
  if (Stopped(stop)) {
    failAll(kMaskStopped);
    return;
  }

  for (int32_t space = 0; space < spaceCount; ++space) {
    // The rasters are left cleared by the space before, unless it failed part-way.
    for (int32_t slot = 0; slot < slots && space > 0; ++slot) {
      const int32_t i = space * count + slotOf[slot];
      if (!Prepare(state, slot, width, height, EndsWith(fileNames[i], ".png"))) {
        std::fprintf(stderr, "mask %s not written: no memory for a %u x %u mask\n", fileNames[i], width, height);
        codes[i] = kMaskNoMemory;
      }
    }
    // The masks are independent from here on: the later ones are stamped, resolved, dilated and
    // encoded on threads of their own while this one does the first (a thread that cannot be
    // started leaves its mask to this one). The stamps are only read.
    auto render = [&](int32_t slot) {
      const int32_t i = space * count + slotOf[slot];
      if (codes[i] != 0) return;
      try {
        codes[i] = Render(state, slot, splat, *profile, fileNames[i], EndsWith(fileNames[i], ".png"), stop,
                          outputs[size_t(space) * 3 + size_t(slot)], space);
      } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "mask %s not written: no memory to finish a %u x %u mask\n", fileNames[i], width,
                     height);
        state.rasters[slot].reset();
        codes[i] = kMaskNoMemory;
      }
    };
    std::thread helpers[3];
    for (int32_t slot = 1; slot < slots; ++slot) {
      try {
        helpers[slot] = std::thread(render, slot);
      } catch (const std::exception&) {
      }
    }
    render(0);
    for (int32_t slot = 1; slot < slots; ++slot) {
      if (helpers[slot].joinable()) {
        helpers[slot].join();
      } else {
        render(slot);
      }
    }
    if (Stopped(stop)) break;
  }

  // A stop during the bake leaves the step without masks rather than with some of them; the
  // files not published go with their objects.
  if (Stopped(stop)) {
    failAll(kMaskStopped);
    return;
  }
  for (int32_t space = 0; space < spaceCount; ++space) {
    for (int32_t slot = 0; slot < slots; ++slot) {
      const int32_t i = space * count + slotOf[slot];
      if (codes[i] != 0) continue;
      std::string error;
      if (!outputs[size_t(space) * 3 + size_t(slot)]->Publish(&error)) {
        std::fprintf(stderr, "mask %s not written: %s\n", fileNames[i], error.c_str());
        codes[i] = kMaskNotWritten;
      }
    }
  }
}

}  // namespace

int32_t BakeAndSaveMask(int32_t channel, const char* fileName, uint32_t width, uint32_t height, const SampleMap& map,
                        float spacing, const SplatImage& splat, const std::atomic<bool>* stop) {
  int32_t code = 0;
  BakeChannels(&channel, 1, 1, &fileName, width, height, map, spacing, splat, &code, stop);
  return code;
}

int32_t BakeAndSaveMasks(const char* const (&fileNames)[3], uint32_t width, uint32_t height, const SampleMap& map,
                         float spacing, const SplatImage& splat, int32_t (&codes)[3], const std::atomic<bool>* stop) {
  return BakeAndSaveSpaceMasks(fileNames, 1, width, height, map, spacing, splat, codes, stop);
}

int32_t BakeAndSaveSpaceMasks(const char* const* fileNames, int32_t spaceCount, uint32_t width, uint32_t height,
                              const SampleMap& map, float spacing, const SplatImage& splat, int32_t* codes,
                              const std::atomic<bool>* stop) {
  if (spaceCount < 1) return 0;
  const int32_t channels[3] = {0, 1, 2};
  BakeChannels(channels, 3, spaceCount, fileNames, width, height, map, spacing, splat, codes, stop);
  int32_t saved = 0;
  for (int32_t i = 0; i < 3 * spaceCount; ++i) saved += codes[i] == 0;
  return saved;
}

uint64_t MaskBakeBytes(uint32_t width, uint32_t height, bool png, uint64_t samples) {
  const uint64_t texels = uint64_t(width) * height;
  // Per texel of a mask: two float planes of sums, the dilation's generation and reach bytes,
  // and the grey picture handed to the encoder.
  const uint64_t perMask = texels * (2 * sizeof(float) + 2 + (png ? 2 : 1)) + 64 * (uint64_t(width) + height);
  // Per sample: its stamps, its tile key and the jitter drawn for every mask.
  const uint64_t stamps = samples * (sizeof(SplatStamp) + sizeof(uint32_t) + 3 * 2 * sizeof(float));
  return 3 * perMask + stamps;
}

}  // namespace Simulation
