#pragma once

#include <vector>

#include "renderlib/mesh_group.h"
#include "renderlib/vector3.h"

namespace AssetExport {

// A vertex's frame as an exported file carries it and the baked normal map is made in: unit
// normal, unit tangent across it along increasing u, and the handedness w (+1 or -1) that turns
// cross(normal, tangent) into the direction of increasing v.
struct SurfaceFrame {
  RenderLib::Vector3 normal;
  RenderLib::Vector3 tangent;
  float handedness = 1.0f;
};

// The frames of a group's vertices: the unit normal and tangent the model's reader gave each
// vertex (the tangent the viewer draws with and the run aged the samples along), with the
// handedness of RenderLib::TangentHandedness.
std::vector<SurfaceFrame> ComputeSurfaceFrames(const RenderLib::MeshGroup& group);

}  // namespace AssetExport
