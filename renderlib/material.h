#pragma once

#include <cmath>
#include <cstdint>

#include "renderlib/ref_counted_image.h"
#include "renderlib/reference_counted.h"
#include "renderlib/texture_slot.h"
#include "renderlib/vector3.h"

namespace RenderLib {

// A material of a model, filled from its MTL library or a glTF file. Destroyed when its last
// handle lets go; the image handles are then released last field first.
struct Material : ReferenceCounted {
  static constexpr int kNameCapacity = 260;

  char name[kNameCapacity] = {};
  Vector3 ambient;
  Vector3 diffuse;
  Vector3 specular;
  float opacity = 1.0f;
  int32_t shininess = 50;
  bool specularEnabled = false;
  ImageHandle ambientMap;
  ImageHandle diffuseMap;
  ImageHandle specularMap;
  ImageHandle extraMap;  // no keyword fills it; kept so the four maps release together

  // Metallic-roughness values, set by a glTF material (metallicRoughness then true). The base
  // colour's texture is diffuseMap and its factor baseColorFactor (RGBA, linear); an MTL material
  // leaves these at their defaults.
  bool metallicRoughness = false;
  float baseColorFactor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  float metallicFactor = 1.0f;
  float roughnessFactor = 1.0f;
  float normalScale = 1.0f;
  ImageHandle metallicRoughnessMap;  // G roughness, B metallic (linear)
  ImageHandle normalMap;             // tangent space, +Y up
  // Ambient occlusion (red channel, linear) mixed in by its strength, and the emitted light:
  // emissiveFactor (linear RGB) times the emissive map (sRGB-encoded) where there is one.
  float occlusionStrength = 1.0f;
  float emissiveFactor[3] = {0.0f, 0.0f, 0.0f};
  ImageHandle occlusionMap;
  ImageHandle emissiveMap;
  // How each map is laid on: its texture coordinate set, transform and sampler (glTF values;
  // an MTL material keeps the defaults: set 0, no transform, linear, repeating).
  TextureSlot baseColorSlot;
  TextureSlot metallicRoughnessSlot;
  TextureSlot normalSlot;
  TextureSlot occlusionSlot;
  TextureSlot emissiveSlot;
  // How the base colour's alpha is used (glTF alphaMode and alphaCutoff), and whether the
  // faces show from behind too.
  AlphaMode alphaMode = AlphaMode::kOpaque;
  float alphaCutoff = 0.5f;
  bool doubleSided = false;
  // The step masks an aged export carries beside its aged material (grey, 0 to 1); its textures
  // already show them.
  ImageHandle rustMask;
  ImageHandle dirtMask;
};

// The roughness (glTF's, perceptual) that matches a Blinn-Phong exponent: the exponent s has a
// microfacet width of sqrt(2 / (s + 2)), the square of the roughness. At most 1 for s >= 0; an
// exponent of 0 or less counts as 1.
inline float RoughnessOfShininess(int32_t shininess) {
  const float exponent = shininess > 0 ? float(shininess) : 1.0f;
  return std::sqrt(std::sqrt(2.0f / (exponent + 2.0f)));
}

using MaterialHandle = CountedHandle<Material>;

}  // namespace RenderLib
