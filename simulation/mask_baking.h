#pragma once

#include <cstdint>

#include "simulation/sample_map.h"

namespace Simulation {

// Bakes one quantity of every sample (channel 0 humidity, 1 dirt, 2 rust) into a width x
// height grey mask by splatting each sample at its texture coordinates, and saves it as a JPEG
// at fileName. Returns 0 when the mask was saved, a negative code when it could not be baked
// or written (with the reason on stderr); nothing is left under fileName then.
int32_t BakeAndSaveMask(int32_t channel, const char* fileName, uint32_t width, uint32_t height, const SampleMap& map,
                        float spacing);

}  // namespace Simulation
