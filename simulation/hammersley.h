#pragma once

#include <cstdint>

namespace Simulation {

// Fills points (2 × count floats) with the Hammersley set of count points in the unit square:
// point j = (RadicalInverse(j, 2), (j + 0.5) / count).
void Hammersley2D(float* points, uint32_t count);

// Points first .. first + length - 1 of the set of count points, the same values as above.
void Hammersley2D(float* points, uint32_t count, uint32_t first, uint32_t length);

}  // namespace Simulation
