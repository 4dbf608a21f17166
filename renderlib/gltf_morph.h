#pragma once

#include <string>
#include <vector>

#include "renderlib/gltf_accessor.h"

namespace tinygltf {
class Model;
struct Primitive;
}  // namespace tinygltf

namespace RenderLib::Gltf {

// The weights a node shows its mesh's morph targets at when nothing animates them: the node's
// own, else the mesh's, else none.
const std::vector<double>& DefaultMorphWeights(const tinygltf::Model& file, int node, int mesh);

// Applies the primitive's morph targets at `weights` to one of its attributes ("POSITION",
// "NORMAL"), whose own values `base` holds (three floats a vertex): `morphed` gets base plus the
// weighted sum of the targets' displacements (dense or sparse), three floats a vertex, and
// `base` is pointed at it. Targets without the attribute and zero weights change nothing; when
// nothing changes, `base` and `morphed` are left alone. False with the reason in `error` when a
// target's accessor does not exist, is not three floats a vertex, has another count than `base`
// or replaces an element past it.
bool ApplyMorphTargets(const tinygltf::Model& file, const tinygltf::Primitive& primitive, const char* attribute,
                       const std::vector<double>& weights, AccessorView& base, std::vector<float>& morphed,
                       std::string& error);

}  // namespace RenderLib::Gltf
