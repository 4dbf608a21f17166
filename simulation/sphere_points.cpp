#include "simulation/sphere_points.h"

#include <cmath>
#include <cstddef>

#include "simulation/radical_inverse.h"

namespace Simulation {

void SpherePoints(float* points, uint32_t count, uint32_t base) {
  constexpr double kPi = 3.141592653589793;
  for (uint32_t j = 0; j < count; ++j) {
    float z = 2.0f * RadicalInverse(j, 2) - 1.0f;
    float r = std::sqrt(1.0f - z * z);
    float angle = static_cast<float>(static_cast<double>(RadicalInverse(j, base)) * 4.0 * kPi);
    float* point = points + 3 * static_cast<std::size_t>(j);
    point[0] = std::cos(angle) * r;
    point[1] = std::sin(angle) * r;
    point[2] = z;
  }
}

}  // namespace Simulation
