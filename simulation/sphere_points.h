#pragma once

#include <cstdint>

namespace Simulation {

// Fills points (3 × count floats) with count deterministic points on the unit sphere: point j
// has height z = 2 × RadicalInverse(j, 2) − 1 and turns by RadicalInverse(j, base) × 4π about
// the z axis (twice round the circle), so the heights are evenly stratified and the angles
// spread by a second, independent base. Point 0 is the south pole (0, 0, −1).
void SpherePoints(float* points, uint32_t count, uint32_t base);

}  // namespace Simulation
