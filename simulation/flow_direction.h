#pragma once

#include "renderlib/vector3.h"

namespace Simulation {

// Where a flowing ton goes from a point with unit surface normal n, given one uniform draw u in
// [0, 1]. On a slope it runs downhill (gravity along -y projected onto the tangent plane, not
// normalised, so gentle slopes move the ton less) with a sideways share of u - 0.5. Where the
// surface is nearly level (|n.y| > 0.9) there is no downhill worth the name, so the ton takes a
// unit direction of the tangent plane at the angle 2πu: level ground spreads flows evenly
// instead of sending them all one way.
RenderLib::Vector3 FlowDirection(const RenderLib::Vector3& n, float u);

// A uniformly distributed direction of the hemisphere about the unit normal n, from two uniform
// draws.
RenderLib::Vector3 HemisphereDirection(const RenderLib::Vector3& n, float u1, float u2);

}  // namespace Simulation
