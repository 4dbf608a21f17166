#pragma once

#include <string>
#include <vector>

#include "assetexport/aged_document.h"
#include "assetexport/surface_frames.h"
#include "renderlib/gltf_scene.h"
#include "renderlib/gltf_source.h"

namespace AssetExport {

// Writes TANGENT for one primitive of a document from the frames its first placement was baked
// with, taken back into the mesh's own space by that placement's world transform. A primitive
// the reader unwelded (it had no NORMAL) is written per corner, as the reader took it: every
// attribute and morph target de-indexed, flat NORMAL added, triangles in the file's winding.
// False with what failed (a sparse or unreadable accessor, triangles that do not match).
bool WriteFrames(const RenderLib::PlacedPrimitive& placed, const RenderLib::Gltf::Transform& world,
                 const std::vector<SurfaceFrame>& frames, tinygltf::Primitive& primitive, AgedDocument& document,
                 std::string* error);

}  // namespace AssetExport
