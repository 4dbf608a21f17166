#include "simulation/sample_splats.h"

#include <algorithm>
#include <cmath>

#include "simulation/random_unit.h"

namespace Simulation {

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

void SplatSamples(const SampleMap& map, int32_t channel, float spacing, const SplatImage& splat, SplatRaster& raster) {
  const SurfaceSample* samples = map.Items();
  const uint32_t width = raster.Width(), height = raster.Height();
  for (uint32_t i = 0; i < map.Count(); ++i) {
    const float randomX = RandomUnit();
    const float randomY = RandomUnit();
    const SplatSquare square = SampleSplatSquare(samples[i], width, height, spacing, randomX, randomY);
    raster.Draw(square, ChannelValue(samples[i], channel), splat);
  }
}

}  // namespace Simulation
