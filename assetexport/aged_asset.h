#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "assetexport/surface_frames.h"
#include "assetexport/texture_bake.h"
#include "renderlib/obj_model.h"

namespace AssetExport {

// An image the file carries: embedded in a .glb, beside a .gltf as OUT_NAME.EXT.
struct AssetImage {
  std::string name;      // also the file name's ending beside a .gltf: OUT_NAME.png
  std::string mimeType;  // image/png or image/jpeg
  std::vector<uint8_t> bytes;
};

// One material's aged textures. The images are named after the material (NAME_baseColor ...).
struct AgedMaterial {
  int32_t material = -1;  // the model's material index; -1 for the groups without one
  std::string name;
  int32_t space = 0;  // the mask space its masks are in
  uint32_t size = 0;
  AssetImage baseColor;
  AssetImage metallicRoughness;
  AssetImage normal;
};

// The humidity, dirt and rust masks of one mask space.
struct MaskImages {
  AssetImage humidity;
  AssetImage dirt;
  AssetImage rust;
};

// What an aged asset file holds: the model with the frames its normal maps were baked in (one
// list a group), the aged materials, and the step's masks (one set a mask space), named in each
// aged material's extras.
struct AgedAsset {
  const RenderLib::ObjModel* model = nullptr;
  const std::vector<std::vector<SurfaceFrame>>* frames = nullptr;
  std::vector<AgedMaterial> materials;
  std::vector<MaskImages> masks;
  int32_t step = 0;
  LookSettings look;
  std::string lookName;  // the look baked, named in the asset's extras
  // Set when the writing is to stop (a signal): nothing is put in place and the error is kStopped.
  const std::atomic<bool>* stop = nullptr;
};

}  // namespace AssetExport
