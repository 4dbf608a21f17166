#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "imagelib/image.h"
#include "platform/effect.h"
#include "platform/gpu_resources.h"
#include "renderlib/material.h"
#include "renderlib/vector3.h"

namespace Platform {
class GraphicsDevice;
}

namespace Viewer {

// A model material as the renderer draws it, with its maps on the device.
struct DeviceMaterial {
  RenderLib::Vector3 ambient;
  RenderLib::Vector3 diffuse;
  RenderLib::Vector3 specular;
  int32_t shininess = 0;
  float alpha = 1.0f;
  bool specularEnabled = false;
  std::unique_ptr<Platform::ShaderResourceView> textureView;
  // The failure marker: the material had a diffuse map that the device could not take. There is
  // no view behind it and nothing to release.
  bool textureFailed = false;
  Platform::EffectTechnique* technique = nullptr;  // chosen by the application

  // The model's own metallic-roughness material, drawn under the patina: a glTF material, or an
  // MTL material with a diffuse map (not metal, rough by its shininess). Without one the shipped
  // bronze is. The base colour's map is textureView; a map that is missing or that the device
  // refused has no view, and reads as white (flat for the normal map).
  bool ownMaterial = false;
  float baseColorFactor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  float metallic = 0.0f;
  float roughness = 1.0f;
  float normalScale = 1.0f;
  float occlusionStrength = 1.0f;
  float emissiveFactor[3] = {0.0f, 0.0f, 0.0f};
  std::unique_ptr<Platform::ShaderResourceView> metallicRoughnessView;
  std::unique_ptr<Platform::ShaderResourceView> normalView;
  std::unique_ptr<Platform::ShaderResourceView> occlusionView;
  std::unique_ptr<Platform::ShaderResourceView> emissiveView;
  // How the own material's alpha is used (glTF's alpha mode and cutoff), whether its back faces
  // are drawn lit from behind (double-sided) or not drawn (culled: a one-sided glTF material; an
  // MTL material says nothing of sides, and both are drawn as they always were).
  RenderLib::AlphaMode alphaMode = RenderLib::AlphaMode::kOpaque;
  float alphaCutoff = 0.5f;
  bool doubleSided = false;
  bool culled = false;
  // Where the metallic-roughness, normal, occlusion and emissive maps are read in groups with
  // vertex extras: each a texture coordinate set through its transform (the base colour map reads
  // the ageing coordinates, which already are its own).
  RenderLib::TextureSlot mapSlots[4];
  // The normal map lies otherwise than the base colour map: the vertex tangents (along the ageing
  // u) are not its frame.
  bool normalMapFrameOfItsOwn = false;
  // The step masks an aged export carries: the mask views show them where no run gives masks.
  std::unique_ptr<Platform::ShaderResourceView> rustMaskView;
  std::unique_ptr<Platform::ShaderResourceView> dirtMaskView;

  // A texture counts whether it made it to the device or not (the marker included).
  bool HasTexture() const { return textureView != nullptr || textureFailed; }
};

// Copies the colours, shininess, opacity, specular flag and metallic-roughness values, and
// uploads the diffuse map and the metallic-roughness, normal, occlusion and emissive maps (not the
// ambient or specular maps) and the step masks of an aged export as float RGBA textures, as
// stored (colours stay sRGB-encoded).
DeviceMaterial ConvertMaterial(Platform::GraphicsDevice& device, const RenderLib::Material& material);

// The mid-grey, unspecular material of faces that have none.
DeviceMaterial DefaultGreyMaterial();

// The image's pixels as RGBA floats: grey becomes (g, g, g, 1), grey with alpha (g, g, g, a),
// RGB gets alpha 1, RGBA is copied, and channels past the fourth are dropped. Empty for an
// image without pixels.
std::vector<float> ExpandToRgba(const ImageLib::ImageF& image);

}  // namespace Viewer
