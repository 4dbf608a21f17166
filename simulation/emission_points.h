#pragma once

#include <cstdint>

#include "renderlib/bounding_box.h"
#include "renderlib/vector3.h"

namespace Simulation {

// Where the tons of a run come from and where they are aimed at.
struct EmissionGeometry {
  RenderLib::Vector3 aim;  // the middle of the bottom face of the model's box
  float radius = 0.0f;     // the box's full diagonal
};

// The aim point and emission radius for a model's bounding box.
EmissionGeometry EmissionGeometryFor(const RenderLib::BoundingBox& box);

// Fills points (3 × count floats) with the run's emission points: the deterministic sphere
// point set turned about the vertical axis by rotation (radians), scaled to the emission radius
// and folded onto the upper half of the sphere about the aim point, so that every ton starts at
// or above the bottom of the model's box.
void MakeEmissionPoints(float* points, uint32_t count, float rotation, const EmissionGeometry& geometry);

}  // namespace Simulation
