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

// How much of each mask shows (0 to 1, the window's Rust and Dirt sliders; humidity has none)
// and the relief as the window sets it.
struct LookSettings {
  float rustFactor = 1.0f;
  float dirtFactor = 1.0f;
  float humidityFactor = 1.0f;
  float bump = AgedLook::kWindowBump;
};

// The aged material in texture space, size x size texels each, rows from the top (the row of
// texture coordinate v is size x (1 - v)), three bytes a texel (the base colour four when it
// keeps its alpha).
struct BakedTextures {
  uint32_t size = 0;
  uint32_t colorChannels = 3;
  std::vector<uint8_t> baseColor;          // sRGB-encoded colour, then linear alpha when kept
  std::vector<uint8_t> metallicRoughness;  // red 255 (no occlusion), green roughness, blue metallic, linear
  std::vector<uint8_t> normal;             // tangent space, +Y up, in each vertex's SurfaceFrame
};

// What a bake reads: the model, its vertex frames (one list per group, as ComputeSurfaceFrames
// gives them), the look with its textures, the rust, dirt and humidity masks of the material's
// mask space (one channel each; an empty one reads 0, as an unbound mask does in the window; a
// mask no layer uses may be null), the mask settings, and the
// material baked: only its own groups are drawn (-1: the groups without a material, and those
// naming one the model does not have).
struct BakeInputs {
  const RenderLib::ObjModel* model = nullptr;
  const std::vector<std::vector<SurfaceFrame>>* frames = nullptr;
  const Look* agedLook = nullptr;
  const LookTextures* textures = nullptr;
  const TextureSampler* rustMask = nullptr;
  const TextureSampler* dirtMask = nullptr;
  const TextureSampler* humidityMask = nullptr;
  LookSettings look;
  // Set when the bake is to stop (a signal): it ends at its next face and bakes nothing.
  const std::atomic<bool>* stop = nullptr;
  int32_t material = -1;
};

// The material a group's faces are baked with: its index, or -1 when it has none the model holds.
int32_t BakedMaterialOf(const RenderLib::ObjModel& model, const RenderLib::MeshGroup& group);

// What a bake or an export says when its stop flag ended it.
inline constexpr const char* kStopped = "stopped before it was done";

// The sizes a bake takes, as for the masks.
inline constexpr uint32_t kMinBakeSize = 64;
inline constexpr uint32_t kMaxBakeSize = 8192;

// The size a material's aged textures are baked at: the largest side of its base colour,
// metallic-roughness and normal maps, kDefaultBakeSize when it has none (or no material),
// clamped to kMinBakeSize..kMaxBakeSize.
inline constexpr uint32_t kDefaultBakeSize = 1024;
uint32_t BakeSizeOf(const RenderLib::Material* material);

// Draws every face into texture space and gives each texel whose centre it covers the aged
// look at that point: the base material (see BaseMaterial) with the look's layers applied in
// order, each by its mask, as the window's "Shaded" view blends them. The
// texels no face covers are then filled outwards from the charts' borders, so that filtering
// and mip-maps do not pull in a background. Texture coordinates repeat: a face outside the unit
// square lands where a repeating texture shows it. The base colour keeps its alpha (the source's
// times its factor's) when the material's alpha mode is not opaque. The source metallic-roughness
// and normal maps are read at their own coordinates where the group carries them. False, with the reason in error, for a size
// outside kMinBakeSize..kMaxBakeSize, missing inputs or too little memory.
bool BakeAgedTextures(const BakeInputs& inputs, uint32_t size, BakedTextures* baked, std::string* error);

}  // namespace AssetExport
