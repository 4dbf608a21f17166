#pragma once

#include <string>

#include "renderlib/vector3.h"

namespace Simulation {

// The side the weather comes from: a run's tons start on the cone of half-angle spreadDegrees
// about the unit direction towards (from the model towards the source). Straight up with a
// spread of 90 degrees is the hemisphere above the model, the weather of a run that names none.
struct EmissionSource {
  RenderLib::Vector3 towards{0.0f, 1.0f, 0.0f};
  float spreadDegrees = 90.0f;
};

// A cone narrower than a degree puts every ton on nearly one line; 180 is the whole sphere.
inline constexpr float kMinSpreadDegrees = 1.0f;
inline constexpr float kMaxSpreadDegrees = 180.0f;

// The source for a direction of any length and a spread: false, with why, for a direction of
// no length or not finite, or a spread outside kMinSpreadDegrees..kMaxSpreadDegrees.
bool MakeEmissionSource(const RenderLib::Vector3& from, float spreadDegrees, EmissionSource* source,
                        std::string* error);

// Whether two sources are the same weather (directions within float rounding of each other).
bool SameSource(const EmissionSource& a, const EmissionSource& b);

}  // namespace Simulation
