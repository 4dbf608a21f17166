#pragma once

#include <string>
#include <vector>

#include "assetexport/look.h"
#include "assetexport/texture_sampler.h"
#include "renderlib/material.h"

namespace AssetExport {

// The textures of a look's base and layers (empty where it names none), laid on from three sides.
struct SurfaceTextures {
  TextureSampler color;
  TextureSampler normal;
};
struct LookTextures {
  SurfaceTextures base;
  std::vector<SurfaceTextures> layers;  // one a layer of the look
};

// Loads them: a texture names a file, or else a shipped one found by the media search; false,
// naming the file and why, when one is not found or does not decode.
bool LoadLookTextures(const Look& look, LookTextures* textures, std::string* error);

// The material under the patina of one group's faces: the model's own where it has one (a glTF
// material, or an MTL material with a diffuse map), otherwise the look's base.
struct BaseMaterial {
  bool own = false;
  // Own: colour (RGBA as stored, sRGB-encoded) times the factor (linear RGBA); metallic and
  // roughness, times the metallic-roughness map's blue and green where there is one; the normal
  // map (tangent space, +Y up) with its scale. An empty map counts as white (flat for normals).
  TextureSampler color;
  float colorFactor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  TextureSampler metallicRoughness;
  float metallic = 0.0f;
  float roughness = 1.0f;
  TextureSampler normal;
  float normalScale = 1.0f;
};

// An MTL material's roughness comes from its shininess, read as a Blinn-Phong exponent.
BaseMaterial BaseMaterialOf(const RenderLib::Material* material);

}  // namespace AssetExport
