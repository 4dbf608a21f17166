#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "assetexport/aged_look.h"
#include "assetexport/base_material.h"
#include "assetexport/surface_frames.h"
#include "assetexport/texture_sampler.h"
#include "renderlib/obj_model.h"

namespace AssetExport {

// How much of each mask shows (0 to 1, the window's Rust and Dirt sliders) and the look's
// fixed values as the window sets them.
struct LookSettings {
  float rustFactor = 1.0f;
  float dirtFactor = 1.0f;
  float dirtColor = AgedLook::kWindowDirtColor;
  float bump = AgedLook::kWindowBump;
};

// The aged material in texture space, size x size texels each, rows from the top (the row of
// texture coordinate v is size x (1 - v)), three bytes a texel.
struct BakedTextures {
  uint32_t size = 0;
  std::vector<uint8_t> baseColor;          // sRGB-encoded colour
  std::vector<uint8_t> metallicRoughness;  // red 255 (no occlusion), green roughness, blue metallic, linear
  std::vector<uint8_t> normal;             // tangent space, +Y up, in each vertex's SurfaceFrame
};

// What a bake reads: the model, its vertex frames (one list per group, as ComputeSurfaceFrames
// gives them), the shipped materials, the step's rust and dirt masks (one channel each; an empty
// one reads 0, as an unbound mask does in the window) and the look.
struct BakeInputs {
  const RenderLib::ObjModel* model = nullptr;
  const std::vector<std::vector<SurfaceFrame>>* frames = nullptr;
  const ShippedMaterials* shipped = nullptr;
  const TextureSampler* rustMask = nullptr;
  const TextureSampler* dirtMask = nullptr;
  LookSettings look;
  // Set when the bake is to stop (a signal): it ends at its next face and bakes nothing.
  const std::atomic<bool>* stop = nullptr;
};

// What a bake or an export says when its stop flag ended it.
inline constexpr const char* kStopped = "stopped before it was done";

// The sizes a bake takes, as for the masks.
inline constexpr uint32_t kMinBakeSize = 64;
inline constexpr uint32_t kMaxBakeSize = 8192;

// Draws every face into texture space and gives each texel whose centre it covers the aged
// look at that point: the base material (see BaseMaterial) with the patina taking over by the
// rust mask and dirt on top by the dirt mask, as the window's "Shaded" view blends them. The
// texels no face covers are then filled outwards from the charts' borders, so that filtering
// and mip-maps do not pull in a background. Texture coordinates repeat: a face outside the unit
// square lands where a repeating texture shows it. False, with the reason in error, for a size
// outside kMinBakeSize..kMaxBakeSize, missing inputs or too little memory.
bool BakeAgedTextures(const BakeInputs& inputs, uint32_t size, BakedTextures* baked, std::string* error);

}  // namespace AssetExport
