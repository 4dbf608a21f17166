#pragma once

#include <string>

#include "assetexport/aged_asset.h"

namespace AssetExport {

// Writes the asset as glTF 2.0: a binary .glb with everything inside, or a .gltf with its buffer
// (OUT.bin) and images (OUT_NAME.png ...) beside it; told apart by path's ending. A model read
// from glTF is written as its own document (nodes, meshes, materials, animations and all) with
// the aged materials' textures put in; any other as one node named after path's stem holding one
// mesh, one primitive a group. Every file is written whole under a temporary name before any is
// renamed into place (the .gltf last), so that a failure (a folder that is missing or takes no
// files, a full disk) or a stop leaves the final names as they were. False, with what failed and
// why in error, then.
bool WriteAgedGltf(const AgedAsset& asset, const std::string& path, std::string* error);

}  // namespace AssetExport
