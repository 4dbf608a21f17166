#include "simulation/surface_ageing.h"

#include <cmath>

namespace Simulation {

void AgeSamples(SampleMap& map) {
  SurfaceSample* samples = map.Items();
  for (uint32_t i = 0; i < map.Count(); ++i) {
    SurfaceSample& sample = samples[i];
    const float humidity = sample.humidity;
    sample.rust += 2.0f * humidity * humidity;
    sample.humidity = humidity - 0.2f * humidity;
    sample.bounceDamping = (1.0f - std::fabs(sample.normal.y)) * (1.0f - sample.humidity) * 0.2f;
  }
}

}  // namespace Simulation
