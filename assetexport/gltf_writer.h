#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "assetexport/surface_frames.h"
#include "assetexport/texture_bake.h"
#include "renderlib/obj_model.h"

namespace AssetExport {

// An image the file carries: embedded in a .glb, beside a .gltf as NAME.EXT.
struct AssetImage {
  std::string name;      // also the file name's ending beside a .gltf: OUT_NAME.png
  std::string mimeType;  // image/png or image/jpeg
  std::vector<uint8_t> bytes;
};

// What an aged asset file holds: the model's faces with the frames the normal map was baked in,
// the three baked textures as one material, and the step's masks, named in the material's extras.
struct AgedAsset {
  const RenderLib::ObjModel* model = nullptr;
  const std::vector<std::vector<SurfaceFrame>>* frames = nullptr;  // one list per group
  AssetImage baseColor;
  AssetImage metallicRoughness;
  AssetImage normal;
  AssetImage masks[3];  // humidity, dirt, rust
  int32_t step = 0;
  LookSettings look;
  // Set when the writing is to stop (a signal): nothing is put in place and the error is kStopped.
  const std::atomic<bool>* stop = nullptr;
};

// Writes the asset as glTF 2.0: a binary .glb with everything inside, or a .gltf with its buffer
// (OUT.bin) and images (OUT_NAME.png ...) beside it; told apart by path's ending. Every file is
// written whole under a temporary name before any is renamed into place (the .gltf last), so
// that a failure (a folder that is missing or takes no files, a full disk) or a stop leaves the
// final names as they were. False, with what failed and why in error, then.
bool WriteAgedGltf(const AgedAsset& asset, const std::string& path, std::string* error);

}  // namespace AssetExport
