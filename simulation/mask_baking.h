#pragma once

#include <atomic>
#include <cstdint>

#include "simulation/sample_map.h"

namespace Simulation {

class SplatImage;

// Bakes one quantity of every sample (channel 0 humidity, 1 dirt, 2 rust) into a width x
// height grey mask by stamping splat at each sample's texture coordinates, and saves it at
// fileName: as a 16-bit grey PNG when the name ends in ".png", otherwise as an 8-bit JPEG (grey in
// three channels, the form the JPEG reader takes). Returns 0 when the mask was saved, a negative
// code when it could not be baked or written (with the reason on stderr); a failure never creates
// or changes the file under fileName (a mask left there by an earlier run stays as it was).
// A round splat is drawn from its radial profile (see SplatProfile), any other texel by texel.
// Overlapping splats average (normalised splatting), and the values are pushed a few texels past
// the edge of what the samples cover. The file is made only once the mask's data are ready,
// written out of sight (Platform::TemporaryFile) and put under fileName whole, so a reader never
// sees half a mask and a killed process leaves as little as possible. When stop is given and
// becomes true, the bake ends within moments and saves nothing (kMaskStopped). Running out of
// memory fails the mask (kMaskNoMemory), never the program.
int32_t BakeAndSaveMask(int32_t channel, const char* fileName, uint32_t width, uint32_t height, const SampleMap& map,
                        float spacing, const SplatImage& splat, const std::atomic<bool>* stop = nullptr);

// The three masks of a step at once, channel c into fileNames[c], as three BakeAndSaveMask calls
// in channel order would make them (each with its own jitter), with one pass over the samples.
// codes[c] receives what BakeAndSaveMask would return for channel c; a mask that fails does not
// keep the others from being saved. A stop saves none of them. Returns how many were saved.
int32_t BakeAndSaveMasks(const char* const (&fileNames)[3], uint32_t width, uint32_t height, const SampleMap& map,
                         float spacing, const SplatImage& splat, int32_t (&codes)[3],
                         const std::atomic<bool>* stop = nullptr);

// The masks of a step in every mask space (see MaskSpaces) at once: channel c of space s into
// fileNames[3 s + c], its code into codes[3 s + c], each space's masks from that space's samples
// alone, with one pass over the samples. One space gives exactly what BakeAndSaveMasks gives
// (which is this with one space). Nothing is published until every space's masks are made, and a
// stop saves none of them. Returns how many were saved (of 3 spaceCount).
int32_t BakeAndSaveSpaceMasks(const char* const* fileNames, int32_t spaceCount, uint32_t width, uint32_t height,
                              const SampleMap& map, float spacing, const SplatImage& splat, int32_t* codes,
                              const std::atomic<bool>* stop = nullptr);

// About how many bytes baking the three masks of a step at this size takes, over the samples'
// own: what a run must have room for.
uint64_t MaskBakeBytes(uint32_t width, uint32_t height, bool png, uint64_t samples);

// The negative codes BakeAndSaveMask returns.
inline constexpr int32_t kMaskBadArguments = -1;  // no file name, channel outside 0..2, unusable size
inline constexpr int32_t kMaskNoSplat = -2;       // the splat image is empty
inline constexpr int32_t kMaskNotWritten = -3;    // the file could not be created, written or renamed
inline constexpr int32_t kMaskNoMemory = -4;      // the mask did not fit in memory
inline constexpr int32_t kMaskStopped = -5;       // the bake was stopped before the mask was saved

// The quality JPEG masks are written at.
inline constexpr int kMaskJpegQuality = 95;

// How many texels past the covered ones a mask's values are pushed.
inline constexpr int kMaskDilationPasses = 8;

}  // namespace Simulation
