#pragma once

#include <cstdint>
#include <string>

#include "assetexport/step_masks.h"
#include "assetexport/texture_bake.h"
#include "renderlib/obj_model.h"

// Writing a weathered model out as a glTF 2.0 asset: the look of one step baked into PBR
// textures in texture space, with the model, its frames and the step's masks. Called by
// patinex-cli (weather --export, export) and the window's Export button alike.
namespace AssetExport {

struct ExportSettings {
  uint32_t size = 1024;  // of the baked textures, kMinBakeSize to kMaxBakeSize
  LookSettings look;
  // The masks read from a folder: Simulation::kMaskJpeg or kMaskPng for that format's files
  // only (a run exports the masks it wrote itself), kAnyMaskFormat for either.
  int32_t maskFormat = kAnyMaskFormat;
  // Set when the export is to stop (a signal): it ends between its parts, or at the next face of
  // the bake, writes nothing and says kStopped.
  const std::atomic<bool>* stop = nullptr;
};

// How long the parts took, for reports.
struct ExportTimes {
  double bakeSeconds = 0.0;
  double encodeSeconds = 0.0;
  double writeSeconds = 0.0;
};

// Bakes the model's aged textures from the step's masks and writes the asset to out (.glb or
// .gltf, see WriteAgedGltf). The shipped materials come from the media search. False, with what
// failed and why in error, when the model cannot be baked (no texture coordinates, no faces,
// broken indices), a shipped texture is missing, or the file cannot be written; nothing is then
// left under out.
bool ExportAgedAsset(const RenderLib::ObjModel& model, const StepMasks& masks, const ExportSettings& settings,
                     const std::string& out, std::string* error, ExportTimes* times = nullptr);

// The same with the masks of a step read from a folder (step < 0: the highest one there);
// *step receives the step exported.
bool ExportAgedAssetFromFolder(const RenderLib::ObjModel& model, const std::string& maskFolder, int32_t* step,
                               const ExportSettings& settings, const std::string& out, std::string* error,
                               ExportTimes* times = nullptr);

}  // namespace AssetExport
