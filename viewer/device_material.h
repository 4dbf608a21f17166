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

// A model material as the renderer draws it, with its diffuse map on the device.
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

  // A texture counts whether it made it to the device or not (the marker included).
  bool HasTexture() const { return textureView != nullptr || textureFailed; }
};

// Copies the colours, shininess, opacity and specular flag, and uploads the diffuse map (not the
// ambient or specular maps) as a float RGBA texture.
DeviceMaterial ConvertMaterial(Platform::GraphicsDevice& device, const RenderLib::Material& material);

// The mid-grey, unspecular material of faces that have none.
DeviceMaterial DefaultGreyMaterial();

// The image's pixels as RGBA floats: grey becomes (g, g, g, 1), grey with alpha (g, g, g, a),
// RGB gets alpha 1, RGBA is copied, and channels past the fourth are dropped. Empty for an
// image without pixels.
std::vector<float> ExpandToRgba(const ImageLib::ImageF& image);

}  // namespace Viewer
