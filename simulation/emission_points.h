#pragma once

#include <cstdint>

#include "renderlib/bounding_box.h"
#include "renderlib/vector3.h"
#include "simulation/emission_source.h"

namespace Simulation {

// Where the tons of a run come from and where they are aimed at.
struct EmissionGeometry {
  // The middle of the model box's side away from the source (the bottom face for weather from
  // above), so that tons cross the whole model before reaching it.
  RenderLib::Vector3 aim;
  float radius = 0.0f;  // the box's full diagonal: no point of the box is farther from the aim
  RenderLib::Vector3 axis{0.0f, 1.0f, 0.0f};  // the unit direction towards the source
  float cosSpread = 0.0f;                      // cosine of the cone's half-angle
};

// The aim point, emission radius and cone for a model's bounding box and a source.
EmissionGeometry EmissionGeometryFor(const RenderLib::BoundingBox& box, const EmissionSource& source = {});

// Fills points (3 × count floats) with the run's emission points: the deterministic sphere
// point set folded onto one half, its height mapped so that the cosine of the angle to the axis
// is uniform in [cosSpread, 1] (the cone covered evenly), turned about the axis by rotation
// (radians) and scaled to the emission radius about the aim point. From above with a spread of
// 90 degrees this is the upper hemisphere, every ton at or above the bottom of the model's box.
void MakeEmissionPoints(float* points, uint32_t count, float rotation, const EmissionGeometry& geometry);

}  // namespace Simulation
