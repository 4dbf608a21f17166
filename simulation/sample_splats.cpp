#include "simulation/sample_splats.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>
#include <vector>

#include "simulation/random_unit.h"

namespace Simulation {
namespace {

// Squares are stamped tile by tile (tiles of 16 x 16 pixels, visited along a Z curve) rather
// than in stored order, which hops all over the mask: the texels a tile's squares touch stay in
// the cache instead of costing a miss per row of every square. The splatting is normalised,
// so the order changes nothing but the rounding of the sums.
constexpr int kTileShift = 4;
constexpr uint32_t kTileBits = 8;  // up to 256 tiles per side; larger masks share the last ones

uint32_t SpreadBits(uint32_t v) {
  v &= 0xffu;
  v = (v | (v << 4)) & 0x0f0fu;
  v = (v | (v << 2)) & 0x3333u;
  v = (v | (v << 1)) & 0x5555u;
  return v;
}

uint32_t TileKey(const SplatSquare& square, uint32_t width, uint32_t height) {
  auto tile = [](float centre, uint32_t size) {
    const float clamped = std::clamp(centre, 0.0f, static_cast<float>(size - 1));
    return std::min<uint32_t>(static_cast<uint32_t>(clamped) >> kTileShift, (1u << kTileBits) - 1);
  };
  // NaN centres clamp to an edge tile; Draw skips them anyway.
  return SpreadBits(tile(square.centreX, width)) | SpreadBits(tile(square.centreY, height)) << 1;
}

}  // namespace

SplatSquare SampleSplatSquare(const SurfaceSample& sample, uint32_t width, uint32_t height, float spacing,
                              float randomX, float randomY) {
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  const float t = spacing / std::sqrt(2.0f * sample.area);
  const float jitterX = (randomX - 0.5f) * std::min(5.0f, w * t) * 0.05f;
  const float jitterY = (randomY - 0.5f) * std::min(5.0f, h * t) * 0.05f;
  SplatSquare square;
  square.halfWidth = sample.uExtent * w * t * 1.4142135f;
  square.halfHeight = sample.vExtent * h * t * 1.4142135f;
  square.centreX = w * sample.u + jitterX;
  square.centreY = h * (1.0f - sample.v) - jitterY;
  return square;
}

float ChannelValue(const SurfaceSample& sample, int32_t channel) {
  switch (channel) {
    case 0: return sample.humidity;
    case 1: return sample.dirt;
    default: return sample.rust;
  }
}

namespace {

// The typical half size is the median of the larger half size of every square, found from a
// histogram of quarter-octaves, which needs no sorting and no copy.
class HalfSizeHistogram {
public:
  void Add(float half) {
    if (!(half > 0.0f) || !std::isfinite(half)) return;
    // The quarter-octave from the bits: the octave is the exponent, the quarter where the
    // mantissa stands against 2^(1/4), 2^(1/2) and 2^(3/4). (A logarithm per sample costs more
    // than the rest of the stamp's preparation.)
    const uint32_t bits = std::bit_cast<uint32_t>(half);
    const int32_t octave = static_cast<int32_t>(bits >> 23) - 127;
    const float mantissa = std::bit_cast<float>((bits & 0x7fffffu) | 0x3f800000u);
    const int32_t quarter = (mantissa >= 1.18920712f) + (mantissa >= 1.41421356f) + (mantissa >= 1.68179283f);
    ++histogram[std::clamp((octave - kLowestOctave) * kStepsPerOctave + quarter, 0, kBuckets - 1)];
    ++counted;
  }

  // kSplatHalfSizeCapFactor times the upper edge of the median's bucket; 0 when nothing counted.
  float Cap() const {
    if (counted == 0) return 0.0f;
    uint32_t below = 0;
    int median = 0;
    while (below + histogram[median] <= counted / 2 && median < kBuckets - 1) below += histogram[median++];
    const float typical =
        std::exp2(static_cast<float>(median + 1) / static_cast<float>(kStepsPerOctave) + static_cast<float>(kLowestOctave));
    return kSplatHalfSizeCapFactor * typical;
  }

private:
  static constexpr int kBuckets = 256;
  static constexpr int kStepsPerOctave = 4;
  static constexpr int kLowestOctave = -32;
  uint32_t histogram[kBuckets] = {};
  uint32_t counted = 0;
};

}  // namespace

float SplatHalfSizeCap(const SplatSquare* squares, uint32_t count) {
  HalfSizeHistogram histogram;
  for (uint32_t i = 0; i < count; ++i) histogram.Add(std::max(squares[i].halfWidth, squares[i].halfHeight));
  return histogram.Cap();
}

void SplatSamples(const SampleMap& map, int32_t channel, float spacing, const SplatImage& splat, SplatRaster& raster) {
  const SurfaceSample* samples = map.Items();
  const uint32_t count = map.Count();
  const uint32_t width = raster.Width(), height = raster.Height();
  if (count == 0) return;

  // The jitter is drawn in stored order, two draws per sample, whatever order stamps them.
  std::vector<SplatSquare> squares(count);
  for (uint32_t i = 0; i < count; ++i) {
    const float randomX = RandomUnit();
    const float randomY = RandomUnit();
    squares[i] = SampleSplatSquare(samples[i], width, height, spacing, randomX, randomY);
  }
  const float cap = SplatHalfSizeCap(squares.data(), count);
  for (SplatSquare& square : squares) {
    square.halfWidth = std::min(square.halfWidth, cap);
    square.halfHeight = std::min(square.halfHeight, cap);
  }

  // A counting sort of the samples by tile.
  constexpr uint32_t kTiles = 1u << (2 * kTileBits);
  std::vector<uint32_t> starts(kTiles + 1, 0);
  std::vector<uint32_t> keys(count);
  for (uint32_t i = 0; i < count; ++i) {
    keys[i] = TileKey(squares[i], width, height);
    ++starts[keys[i] + 1];
  }
  for (uint32_t k = 0; k < kTiles; ++k) starts[k + 1] += starts[k];
  std::vector<uint32_t> order(count);
  for (uint32_t i = 0; i < count; ++i) order[starts[keys[i]]++] = i;

  for (uint32_t i : order) raster.Draw(squares[i], ChannelValue(samples[i], channel), splat);
}

}  // namespace Simulation

namespace Simulation {

namespace {

// Which space's stamps a sample goes with: its record's, or none to tell apart with one space
// (which then reads nothing more of the record than it always did).
template <bool kSeveral>
uint32_t SpaceKey(const SurfaceSample& sample, int32_t spaceCount) {
  if constexpr (!kSeveral) {
    return 0;
  } else {
    const int32_t space = MaskSpaceOf(sample);
    return space < spaceCount ? uint32_t(space) : 0u;
  }
}

template <bool kSeveral>
void PrepareStamps(const SampleMap& map, const int32_t* channels, int32_t count, uint32_t width, uint32_t height,
                   float spacing, SplatScratch& scratch, int32_t spaceCount) {
  const SurfaceSample* samples = map.Items();
  const uint32_t sampleCount = map.Count();

  // Every channel's pairs in one go: the first channel's for every sample, then the second's...
  const size_t perChannel = 2 * size_t(sampleCount);
  scratch.draws.resize(perChannel * count);
  RandomUnits(scratch.draws.data(), scratch.draws.size());
  // The first channel's tiles order all of them: the jitter moves a square an eighth of a pixel.
  // The key is the tile within the space: space s's tiles come after those of the spaces before.
  constexpr uint32_t kTiles = 1u << (2 * kTileBits);
  const size_t keyCount = size_t(kTiles) * size_t(spaceCount);
  scratch.starts.assign(keyCount + 1, 0);
  scratch.keys.resize(sampleCount);
  // Plain pointers: the stores below could alias whatever is read through the vectors.
  uint32_t* keys = scratch.keys.data();
  uint32_t* starts = scratch.starts.data();
  const float* allDraws = scratch.draws.data();
  // The size of a square and the reach of its jitter are the same in every channel, so they
  // are worked out once per sample, exactly as SampleSplatSquare works them out. They are
  // worked out twice, once for the tiles and the sizes' cap and once to place the squares in
  // tile order, which costs less than keeping them in between.
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  struct Shape {
    float halfWidth, halfHeight, reachX, reachY, u, v;
  };
  auto shapeOf = [&](const SurfaceSample& sample) {
    const float t = spacing / std::sqrt(2.0f * sample.area);
    return Shape{sample.uExtent * w * t * 1.4142135f, sample.vExtent * h * t * 1.4142135f, std::min(5.0f, w * t),
                 std::min(5.0f, h * t), w * sample.u, h * (1.0f - sample.v)};
  };
  auto squareOf = [&](const Shape& shape, int32_t c, uint32_t i) {
    const float* draws = allDraws + c * perChannel + 2 * size_t(i);
    return SplatSquare{shape.u + (draws[0] - 0.5f) * shape.reachX * 0.05f,
                       shape.v - (draws[1] - 0.5f) * shape.reachY * 0.05f, shape.halfWidth, shape.halfHeight};
  };
  // One histogram a space; with one, on the stack, so that the bake allocates nothing.
  HalfSizeHistogram single;
  std::vector<HalfSizeHistogram> several(kSeveral ? size_t(spaceCount) : 0);
  HalfSizeHistogram* histograms = kSeveral ? several.data() : &single;
  for (uint32_t i = 0; i < sampleCount; ++i) {
    const Shape shape = shapeOf(samples[i]);
    const uint32_t space = SpaceKey<kSeveral>(samples[i], spaceCount);
    histograms[space].Add(std::max(shape.halfWidth, shape.halfHeight));
    keys[i] = space * kTiles + TileKey(squareOf(shape, 0, i), width, height);
    ++starts[keys[i] + 1];
  }
  for (size_t k = 0; k < keyCount; ++k) starts[k + 1] += starts[k];
  for (int32_t space = 0; space <= spaceCount; ++space) {
    scratch.spaceStarts[size_t(space)] = starts[size_t(space) * kTiles];
  }
  // The jitter leaves the sizes alike in every channel, and so their cap.
  float singleCap = 0.0f;
  std::vector<float> severalCaps(kSeveral ? size_t(spaceCount) : 0);
  float* cap = kSeveral ? severalCaps.data() : &singleCap;
  for (int32_t space = 0; space < (kSeveral ? spaceCount : 1); ++space) cap[space] = histograms[space].Cap();

  // The stamps, capped, are scattered into tile order as they are read in stored order, so
  // that the drawing reads them in sequence instead of missing the cache for every sample.
  float SurfaceSample::*fields[3] = {};
  for (int32_t c = 0; c < count; ++c) {
    fields[c] = channels[c] == 0 ? &SurfaceSample::humidity
                : channels[c] == 1 ? &SurfaceSample::dirt
                                   : &SurfaceSample::rust;
  }
  scratch.stamps.resize(sampleCount);
  SplatStamp* stamps = scratch.stamps.data();
  for (uint32_t i = 0; i < sampleCount; ++i) {
    Shape shape = shapeOf(samples[i]);
    const float sampleCap = cap[kSeveral ? keys[i] / kTiles : 0];
    shape.halfWidth = std::min(shape.halfWidth, sampleCap);
    shape.halfHeight = std::min(shape.halfHeight, sampleCap);
    // Field by field into its place: a record put together on the stack and copied would be
    // read back in wider pieces than it was written in, which waits for the stores to land.
    // Slots past count are never read.
    SplatStamp& stamp = stamps[starts[keys[i]]++];
    stamp.halfWidth = shape.halfWidth;
    stamp.halfHeight = shape.halfHeight;
    for (int32_t c = 0; c < count; ++c) {
      const SplatSquare square = squareOf(shape, c, i);
      stamp.centre[c][0] = square.centreX;
      stamp.centre[c][1] = square.centreY;
      stamp.value[c] = samples[i].*fields[c];
    }
  }
}

}  // namespace

void PrepareSplatStamps(const SampleMap& map, const int32_t* channels, int32_t count, uint32_t width,
                        uint32_t height, float spacing, SplatScratch& scratch, int32_t spaceCount) {
  count = std::clamp(count, 0, 3);
  spaceCount = std::max(spaceCount, 1);
  scratch.stamps.clear();
  scratch.spaceStarts.assign(size_t(spaceCount) + 1, 0);
  scratch.slots = 0;
  if (map.Count() == 0 || count == 0) return;
  scratch.slots = count;
  if (spaceCount == 1) {
    PrepareStamps<false>(map, channels, count, width, height, spacing, scratch, 1);
  } else {
    PrepareStamps<true>(map, channels, count, width, height, spacing, scratch, spaceCount);
  }
}

bool DrawSplatStamps(const SplatScratch& scratch, int32_t slot, SplatRaster& raster, const SplatImage& splat,
                     const SplatProfile& profile, const std::atomic<bool>* stop, int32_t space) {
  if (slot < 0 || slot >= scratch.slots) return true;
  if (space < 0 || size_t(space) + 1 >= scratch.spaceStarts.size()) return true;
  const std::vector<SplatStamp>& stamps = scratch.stamps;
  const size_t begin = scratch.spaceStarts[size_t(space)], end = scratch.spaceStarts[size_t(space) + 1];
  constexpr size_t kStride = sizeof(SplatStamp) / sizeof(float);
  static_assert(sizeof(SplatStamp) % sizeof(float) == 0);
  // In runs of stamps, so that a stop is noticed while millions of samples are drawn.
  constexpr size_t kRun = size_t(1) << 16;
  for (size_t start = begin; start < end; start += kRun) {
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
    const SplatStamp& first = stamps[start];
    const StampList list{&first.centre[slot][0], &first.centre[slot][1], &first.halfWidth,
                         &first.halfHeight,      &first.value[slot],     kStride,
                         kStride,                std::min(kRun, end - start)};
    if (profile.Usable()) {
      raster.DrawRounds(list, profile);
    } else {
      for (size_t i = 0; i < list.count; ++i) raster.Draw(list.Square(i), list.Value(i), splat);
    }
  }
  return true;
}

void SplatChannels(const SampleMap& map, const int32_t* channels, SplatRaster* const* rasters, int32_t count,
                   float spacing, const SplatImage& splat, const SplatProfile& profile, SplatScratch& scratch) {
  count = std::clamp(count, 0, 3);
  if (count == 0) return;
  PrepareSplatStamps(map, channels, count, rasters[0]->Width(), rasters[0]->Height(), spacing, scratch);
  for (int32_t c = 0; c < count; ++c) DrawSplatStamps(scratch, c, *rasters[c], splat, profile);
}

}  // namespace Simulation
