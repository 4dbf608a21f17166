#include "tools/cli/position_limits.h"

#include <cmath>
#include <cstdio>

namespace PatinexCli {
namespace {

bool Sound(const RenderLib::Vector3& p) {
  for (int axis = 0; axis < 3; ++axis) {
    if (!(std::fabs(p[axis]) <= kMaxCoordinate)) return false;  // NaN fails too
  }
  return true;
}

}  // namespace

bool CheckPositions(const std::string& what, const RenderLib::Vector3* positions, size_t count, size_t stride,
                    std::string& error) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(positions);
  size_t bad = 0;
  size_t first = 0;
  for (size_t i = 0; i < count; ++i) {
    if (Sound(*reinterpret_cast<const RenderLib::Vector3*>(bytes + i * stride))) continue;
    if (bad++ == 0) first = i;
  }
  if (bad == 0) return true;
  const RenderLib::Vector3& p = *reinterpret_cast<const RenderLib::Vector3*>(bytes + first * stride);
  char text[256];
  std::snprintf(text, sizeof text,
                "%zu of %zu positions are not finite or lie farther than %.0g from the origin, the first (number "
                "%zu) at (%g, %g, %g)",
                bad, count, double(kMaxCoordinate), first + 1, double(p.x), double(p.y), double(p.z));
  error = what + ": " + text;
  return false;
}

}  // namespace PatinexCli
