#pragma once

#include "simulation/sample_map.h"

namespace Simulation {

// Ages every sample once, at the end of a step: a fifth of the humidity dries off and turns
// into rust (rust grows by twice the square of the humidity it had), and a drier sample on a
// steeper surface damps bouncing more. Call only while no ton is being traced.
void AgeSamples(SampleMap& map);

}  // namespace Simulation
