#pragma once

#include <string>

#include "assetexport/texture_sampler.h"
#include "renderlib/material.h"

namespace AssetExport {

// The shipped bronze and verdigris with their normal maps (media/tex_base.jpg,
// tex_base_NRM.jpg, tex_patina.jpg, tex_patina_NRM.jpg), laid on from three sides.
struct ShippedMaterials {
  TextureSampler bronze;
  TextureSampler bronzeNormal;
  TextureSampler patina;
  TextureSampler patinaNormal;
};

// Loads them as the media search finds them; false, naming the file and why, when one is not
// found or does not decode.
bool LoadShippedMaterials(ShippedMaterials* materials, std::string* error);

// The material under the patina of one group's faces: the model's own where it has one (a glTF
// material, or an MTL material with a diffuse map), otherwise the shipped bronze.
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
