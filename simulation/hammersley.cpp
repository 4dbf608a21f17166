#include "simulation/hammersley.h"

#include <cstddef>

#include "simulation/radical_inverse.h"

namespace Simulation {

void Hammersley2D(float* points, uint32_t count) {
  for (uint32_t j = 0; j < count; ++j) {
    float* point = points + 2 * static_cast<std::size_t>(j);
    point[0] = RadicalInverse(j, 2);
    // In double precision so that large counts still get their half-step offset.
    point[1] = static_cast<float>((static_cast<double>(j) + 0.5) / count);
  }
}

}  // namespace Simulation
