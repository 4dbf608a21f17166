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

// The frames of a group's vertices: the vertex normal (scaled to unit length; the first face's
// normal, or +z, where it cannot be), and a tangent summed from the texture-space directions of
// the faces around the vertex, weighted by their area, made perpendicular to the normal (any
// perpendicular where no face gives one). A face whose texture coordinates run the other way
// round (a mirrored chart) counts towards w = -1.
std::vector<SurfaceFrame> ComputeSurfaceFrames(const RenderLib::MeshGroup& group);

}  // namespace AssetExport
