#include "viewer/device_material.h"

#include "platform/graphics_device.h"

namespace Viewer {

std::vector<float> ExpandToRgba(const ImageLib::ImageF& image) {
  const size_t pixels = size_t(image.width) * image.height;
  const uint32_t channels = image.channels;
  if (pixels == 0 || channels == 0 || image.samples == nullptr) return {};
  std::vector<float> rgba(pixels * 4);
  for (size_t i = 0; i < pixels; ++i) {
    const float* in = image.samples + i * channels;
    float* out = rgba.data() + i * 4;
    switch (channels) {
      case 1:
        out[0] = out[1] = out[2] = in[0];
        out[3] = 1.0f;
        break;
      case 2:
        out[0] = out[1] = out[2] = in[0];
        out[3] = in[1];
        break;
      case 3:
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        out[3] = 1.0f;
        break;
      default:
        for (int c = 0; c < 4; ++c) out[c] = in[c];
        break;
    }
  }
  return rgba;
}

DeviceMaterial ConvertMaterial(Platform::GraphicsDevice& device, const RenderLib::Material& material) {
  DeviceMaterial converted;
  converted.ambient = material.ambient;
  converted.diffuse = material.diffuse;
  converted.specular = material.specular;
  converted.shininess = material.shininess;
  converted.alpha = material.opacity;
  converted.specularEnabled = material.specularEnabled;
  if (const RenderLib::RefCountedImage* image = material.diffuseMap.Get()) {
    const std::vector<float> rgba = ExpandToRgba(*image);
    const bool made = !rgba.empty() && Platform::Succeeded(device.CreateTextureFromFloatRGBA(
                                           image->width, image->height, rgba.data(), &converted.textureView));
    if (!made) {
      converted.textureView.reset();
      converted.textureFailed = true;
    }
  }
  return converted;
}

DeviceMaterial DefaultGreyMaterial() {
  DeviceMaterial grey;
  grey.ambient = RenderLib::Vector3(0.2f, 0.2f, 0.2f);
  grey.diffuse = RenderLib::Vector3(0.5f, 0.5f, 0.5f);
  grey.specular = RenderLib::Vector3(0.0f, 0.0f, 0.0f);
  grey.shininess = 1;
  return grey;
}

}  // namespace Viewer
