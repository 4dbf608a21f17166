#pragma once

#include <cstdint>

namespace Simulation {

// Fills points (2 × count floats) with the Hammersley set of count points in the unit square:
// point j = (RadicalInverse(j, 2), (j + 0.5) / count).
void Hammersley2D(float* points, uint32_t count);

}  // namespace Simulation
