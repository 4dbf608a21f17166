#pragma once

#include <cstdint>

#include "renderlib/ref_counted_image.h"
#include "renderlib/reference_counted.h"
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
};

using MaterialHandle = CountedHandle<Material>;

}  // namespace RenderLib
