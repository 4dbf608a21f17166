#include "simulation/flow_direction.h"

#include <algorithm>
#include <cmath>

#include "simulation/orthonormal_basis.h"

namespace Simulation {

using RenderLib::Vector3;

namespace {
constexpr float kTwoPi = 6.2831855f;
}  // namespace

Vector3 FlowDirection(const Vector3& n, float u) {
  if (std::fabs(n.y) > 0.9f) {
    Vector3 t1;
    Vector3 t2;
    OrthonormalBasis(n, t1, t2);
    const float angle = u * kTwoPi;
    return t1 * std::cos(angle) + t2 * std::sin(angle);
  }
  const Vector3 downhill{n.x * n.y, -(n.x * n.x + n.z * n.z), n.y * n.z};
  const Vector3 across = RenderLib::Cross(n, downhill);
  return downhill + across * (u - 0.5f);
}

Vector3 HemisphereDirection(const Vector3& n, float u1, float u2) {
  const float w = 1.0f - 2.0f * u2;
  const float s = std::sqrt(std::max(0.0f, 1.0f - w * w));
  const float phi = u1 * kTwoPi;
  const float x = std::cos(phi) * s;
  const float y = std::fabs(std::sin(phi) * s);
  Vector3 t1;
  Vector3 t2;
  OrthonormalBasis(n, t1, t2);
  return t1 * x + n * y + t2 * w;
}

}  // namespace Simulation
