#pragma once

#include <memory>

#include "renderlib/obj_loader.h"
#include "renderlib/obj_model.h"

namespace RenderLib {

// Reads a glTF 2.0 model, a .gltf file (its buffers and images beside it or in data URIs) or a
// .glb file, into the same model an OBJ file gives: the scene's meshes flattened with their
// nodes' world transforms, one group per material, TEXCOORD_0 with v turned to grow upwards,
// normals computed (flat) where a primitive has none, and tangents. Returns none when the file
// cannot be read or is not a sound model; the last message then names the file and says what is
// wrong. A model that loads may leave notes (primitives of points or lines skipped), which, as
// the OBJ reader's, do not name the file. Buffers and images are read only from regular files,
// named relative to the model or in data URIs; an absolute path is refused. Draco-compressed
// geometry is refused by the extension's name. The parsed document is kept in the model's
// gltfSource; with Textures::kSkip no image is decoded and no document kept.
std::unique_ptr<ObjModel> LoadGltf(const char* path, ErrorList* errors = nullptr, Textures textures = Textures::kLoad);

}  // namespace RenderLib
