#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assetexport/step_masks.h"
#include "assetexport/texture_bake.h"
#include "renderlib/obj_model.h"

// Writing a weathered model out as a glTF 2.0 asset: the look of one step baked into PBR
// textures in texture space, with the model, its frames and the step's masks. Called by
// patinex-cli (weather --export, export) and the window's Export button alike.
namespace AssetExport {

// The zlib level the aged textures are written at as PNG: the fastest, whose files are a few
// times larger than at the default level and are written several times faster.
inline constexpr int kTexturePngCompression = 1;

struct ExportSettings {
  // Of every material's baked textures, kMinBakeSize to kMaxBakeSize; 0: each material at its
  // own (see BakeSizeOf).
  uint32_t size = 0;
  LookSettings look;
  // The look baked (the shipped bronze unless one is chosen).
  Look agedLook = BronzeLook();
  // The masks read from a folder: Simulation::kMaskJpeg or kMaskPng for that format's files
  // only (a run exports the masks it wrote itself), kAnyMaskFormat for either.
  int32_t maskFormat = kAnyMaskFormat;
  // Set when the export is to stop (a signal): it ends between its parts, or at the next face of
  // the bake, writes nothing and says kStopped.
  const std::atomic<bool>* stop = nullptr;
};

// A material an export aged: its name and its textures' size.
struct ExportedMaterial {
  std::string name;
  uint32_t size = 0;
};

// How long the parts took and what was written, for reports.
struct ExportTimes {
  double bakeSeconds = 0.0;
  double encodeSeconds = 0.0;
  double writeSeconds = 0.0;
  std::vector<ExportedMaterial> materials;
  // What the export left as it was, and why (a material without texture coordinates).
  std::vector<std::string> notes;
};

// Bakes each material's aged textures from its own groups and its mask space's masks (one set a
// space of Simulation::AssignMaskSpaces, which masks must match) and writes the asset to out
// (.glb or .gltf, see WriteAgedGltf). A material whose faces span no area in texture space is
// written unaged, with a note in times. The look's textures are files or come from the media
// search. False,
// with what failed and why in error, when no material can be baked (no texture coordinates, no
// faces, broken indices), the masks are not the model's, the look has too many layers or a texture of it is missing, or the
// file cannot be written; nothing is then left under out.
bool ExportAgedAsset(const RenderLib::ObjModel& model, const StepMasks& masks, const ExportSettings& settings,
                     const std::string& out, std::string* error, ExportTimes* times = nullptr);

// The same with the masks of a step read from a folder (step < 0: the highest one there);
// *step receives the step exported.
bool ExportAgedAssetFromFolder(const RenderLib::ObjModel& model, const std::string& maskFolder, int32_t* step,
                               const ExportSettings& settings, const std::string& out, std::string* error,
                               ExportTimes* times = nullptr);

}  // namespace AssetExport
