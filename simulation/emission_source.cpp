#include "simulation/emission_source.h"

#include <cmath>

namespace Simulation {

bool MakeEmissionSource(const RenderLib::Vector3& from, float spreadDegrees, EmissionSource* source,
                        std::string* error) {
  const float length = RenderLib::Length(from);
  if (!std::isfinite(length) || length <= 0.0f) {
    *error = "the direction towards the source must be finite and not 0,0,0";
    return false;
  }
  if (!(spreadDegrees >= kMinSpreadDegrees && spreadDegrees <= kMaxSpreadDegrees)) {
    *error = "the spread must be " + std::to_string(int(kMinSpreadDegrees)) + " to " +
             std::to_string(int(kMaxSpreadDegrees)) + " degrees";
    return false;
  }
  // A direction already of unit length is kept as given, so that 0,1,0 stays exactly up.
  source->towards = length == 1.0f ? from : from * (1.0f / length);
  source->spreadDegrees = spreadDegrees;
  return true;
}

bool SameSource(const EmissionSource& a, const EmissionSource& b) {
  return RenderLib::Dot(a.towards, b.towards) > 0.99999f && std::fabs(a.spreadDegrees - b.spreadDegrees) < 1e-3f;
}

}  // namespace Simulation
