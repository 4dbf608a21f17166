#pragma once

#include <memory>

#include "renderlib/obj_loader.h"
#include "renderlib/obj_model.h"

namespace RenderLib {

// Reads a glTF 2.0 model, a .gltf file (its buffers and images beside it or in data URIs) or a
// .glb file, into the same model an OBJ file gives: the scene's meshes flattened with their
// nodes' world transforms, morph targets applied at their default weights, one group per
// material, normals computed (flat) where a primitive has none, and tangents. A vertex's u, v are
// its material's ageing coordinates: the set its base colour map reads through that map's
// texture transform (TEXCOORD_0 as it is without one), v turned to grow upwards. A group keeps
// VertexExtras (both sets, COLOR_0) when its material lays a map on TEXCOORD_1 or through a
// transform, or one of its primitives has colours. Returns none when the file cannot be read or
// is not a sound model; the last message then names the file and says what is wrong. A model
// that loads may leave notes (primitives of points or lines skipped), which, as the OBJ reader's,
// do not name the file. Buffers and images are read only from regular files, named relative to
// the model or in data URIs; an absolute path is refused. Required extensions that cannot be
// carried (Draco-compressed geometry, quantized vertices, images Patinex cannot decode) are
// refused by name. The parsed document is kept in the model's gltfSource; with Textures::kSkip
// no image is decoded and no document kept.
std::unique_ptr<ObjModel> LoadGltf(const char* path, ErrorList* errors = nullptr, Textures textures = Textures::kLoad);

}  // namespace RenderLib
