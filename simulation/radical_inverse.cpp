#include "simulation/radical_inverse.h"

namespace Simulation {

float RadicalInverse(uint32_t j, uint32_t b) {
  if (b < 2) return 0.0f;
  const float inverseBase = 1.0f / static_cast<float>(b);
  float sum = 0.0f;
  float weight = inverseBase;
  if (b == 2) {
    for (; j != 0; j >>= 1) {
      if ((j & 1u) != 0) sum += weight;
      weight *= inverseBase;
    }
    return sum;
  }
  for (; j != 0; j /= b) {
    sum += static_cast<float>(j % b) * weight;
    weight *= inverseBase;
  }
  return sum;
}

}  // namespace Simulation
