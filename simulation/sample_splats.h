#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "simulation/sample_map.h"
#include "simulation/splat_image.h"
#include "simulation/splat_profile.h"
#include "simulation/splat_raster.h"
#include "simulation/surface_sample.h"

namespace Simulation {

// The square a sample stamps into a width x height mask. Its half sizes are the sample's share
// of the surface (about `spacing` in world units) carried into texture space through its
// triangle: t = spacing / sqrt(2 area), half width = uExtent W t sqrt(2), half height =
// vExtent H t sqrt(2). The centre is at column W u + jx and row H (1 - v) - jy from the top,
// where the jitter jx = (randomX - 0.5) min(5, W t) 0.05 and jy likewise from randomY with H,
// so it never exceeds an eighth of a pixel. randomX and randomY are draws in [0, 1].
SplatSquare SampleSplatSquare(const SurfaceSample& sample, uint32_t width, uint32_t height, float spacing,
                              float randomX, float randomY);

// The quantity a mask channel shows: 0 humidity, 1 dirt, 2 rust.
float ChannelValue(const SurfaceSample& sample, int32_t channel);

// A sample on a sliver triangle with a large texture extent would get a square that smears a
// whole chart: no half size may exceed this many times the typical (median) one.
inline constexpr float kSplatHalfSizeCapFactor = 8.0f;

// The largest half size a square of these may keep: kSplatHalfSizeCapFactor times the median
// of their larger half sizes (rounded up to a quarter octave); 0 when none has a size.
float SplatHalfSizeCap(const SplatSquare* squares, uint32_t count);

// Stamps every sample of the map into the raster with its value of the channel (0..2), drawing
// its jitter from the process-wide random stream: two draws per sample, x first, in stored
// order. Half sizes are capped by SplatHalfSizeCap. Samples whose square is degenerate (a
// triangle of no area or no texture extent) still draw their jitter but stamp nothing. The
// stamping order follows the mask, not the samples, which only changes the rounding of the
// normalised sums.
void SplatSamples(const SampleMap& map, int32_t channel, float spacing, const SplatImage& splat, SplatRaster& raster);

// One sample's stamps in up to three channels: one record, so that preparing them writes one
// place per sample. The size is the same in every channel; the centre differs by the jitter.
struct SplatStamp {
  float halfWidth;
  float halfHeight;
  float centre[3][2];  // per channel slot: x, y
  float value[3];      // per channel slot
};

// What SplatChannels keeps between calls, so that once it has seen a map of a given size it
// allocates nothing.
struct SplatScratch {
  std::vector<float> draws;
  std::vector<uint32_t> keys;
  std::vector<uint32_t> starts;
  // Every sample's stamps, space after space (see MaskSpaces), each space's in tile order:
  // space s's are stamps[spaceStarts[s]] up to stamps[spaceStarts[s + 1]].
  std::vector<SplatStamp> stamps;
  std::vector<uint32_t> spaceStarts;
  int32_t slots = 0;
};

// Up to three channels in one pass over the samples: rasters[i] (all the same size) receives
// channels[i]. The jitter is drawn as SplatSamples calls in the order of `channels` would draw
// it (every sample's pair for the first, then for the second, ...), so each mask keeps its own
// jitter and the random stream ends where it would. A usable round profile is drawn with
// DrawRound, otherwise the splat texel by texel.
void SplatChannels(const SampleMap& map, const int32_t* channels, SplatRaster* const* rasters, int32_t count,
                   float spacing, const SplatImage& splat, const SplatProfile& profile, SplatScratch& scratch);

// SplatChannels in two halves, so that the rasters can be drawn on threads of their own: the
// stamps of every channel (jitter drawn, sizes capped, put in tile order) for width x height
// masks, then the stamps of one of them (slot i is channels[i]) into its raster.
// With several mask spaces the stamps are sorted by space as well, each sample into the space
// its record notes (one beyond spaceCount counts as space 0), and each space's sizes are capped
// by its own samples' median: the masks of one space are those its samples alone would make.
// The jitter is drawn as for one space, so one space gives what it always gave.
void PrepareSplatStamps(const SampleMap& map, const int32_t* channels, int32_t count, uint32_t width,
                        uint32_t height, float spacing, SplatScratch& scratch, int32_t spaceCount = 1);
// Draws the stamps of mask space `space`. When stop is given and becomes true, the drawing ends
// early and returns false.
bool DrawSplatStamps(const SplatScratch& scratch, int32_t slot, SplatRaster& raster, const SplatImage& splat,
                     const SplatProfile& profile, const std::atomic<bool>* stop = nullptr, int32_t space = 0);

}  // namespace Simulation
