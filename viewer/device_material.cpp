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

namespace {

// The image as a float RGBA texture; none for a missing image or one the device refuses.
std::unique_ptr<Platform::ShaderResourceView> Upload(Platform::GraphicsDevice& device,
                                                     const RenderLib::ImageHandle& handle, bool* failed) {
  std::unique_ptr<Platform::ShaderResourceView> view;
  const RenderLib::RefCountedImage* image = handle.Get();
  if (image == nullptr) return view;
  const std::vector<float> rgba = ExpandToRgba(*image);
  const bool made = !rgba.empty() &&
                    Platform::Succeeded(device.CreateTextureFromFloatRGBA(image->width, image->height, rgba.data(), &view));
  if (!made) {
    view.reset();
    *failed = true;
  }
  return view;
}

Platform::TextureWrap WrapOf(int32_t wrap) {
  if (wrap == RenderLib::kWrapClampToEdge) return Platform::TextureWrap::ClampToEdge;
  if (wrap == RenderLib::kWrapMirroredRepeat) return Platform::TextureWrap::MirroredRepeat;
  return Platform::TextureWrap::Repeat;
}

// Reads the map as its slot's sampler says (pixel art stays sharp); one that says nothing keeps
// the upload's linear, repeating reads.
void Sample(Platform::GraphicsDevice& device, Platform::ShaderResourceView* view, const RenderLib::TextureSlot& slot) {
  constexpr int32_t kNearestMipmapNearest = 9984, kNearestMipmapLinear = 9986;
  Platform::TextureSampling sampling;
  sampling.nearestMagnification = slot.magFilter == RenderLib::kFilterNearest;
  sampling.nearestMinification = slot.minFilter == RenderLib::kFilterNearest || slot.minFilter == kNearestMipmapNearest ||
                                 slot.minFilter == kNearestMipmapLinear;
  sampling.wrapU = WrapOf(slot.wrapS);
  sampling.wrapV = WrapOf(slot.wrapT);
  const bool asUploaded = !sampling.nearestMagnification && !sampling.nearestMinification &&
                          sampling.wrapU == Platform::TextureWrap::Repeat &&
                          sampling.wrapV == Platform::TextureWrap::Repeat;
  if (view != nullptr && !asUploaded) device.SetTextureSampling(view, sampling);
}

}  // namespace

DeviceMaterial ConvertMaterial(Platform::GraphicsDevice& device, const RenderLib::Material& material) {
  DeviceMaterial converted;
  converted.ambient = material.ambient;
  converted.diffuse = material.diffuse;
  converted.specular = material.specular;
  converted.shininess = material.shininess;
  converted.alpha = material.opacity;
  converted.specularEnabled = material.specularEnabled;
  converted.textureView = Upload(device, material.diffuseMap, &converted.textureFailed);

  // As the export takes a model's own material (see AssetExport::BaseMaterialOf).
  if (material.metallicRoughness) {
    converted.ownMaterial = true;
    for (int c = 0; c < 4; ++c) converted.baseColorFactor[c] = material.baseColorFactor[c];
    converted.metallic = material.metallicFactor;
    converted.roughness = material.roughnessFactor;
    converted.normalScale = material.normalScale;
    converted.occlusionStrength = material.occlusionStrength;
    for (int c = 0; c < 3; ++c) converted.emissiveFactor[c] = material.emissiveFactor[c];
    bool failed = false;  // a map the device refuses reads as missing
    converted.metallicRoughnessView = Upload(device, material.metallicRoughnessMap, &failed);
    converted.normalView = Upload(device, material.normalMap, &failed);
    converted.occlusionView = Upload(device, material.occlusionMap, &failed);
    converted.emissiveView = Upload(device, material.emissiveMap, &failed);
    converted.rustMaskView = Upload(device, material.rustMask, &failed);
    converted.alphaMode = material.alphaMode;
    converted.alphaCutoff = material.alphaCutoff;
    converted.doubleSided = material.doubleSided;
    converted.culled = !material.doubleSided;
    converted.mapSlots[0] = material.metallicRoughnessSlot;
    converted.mapSlots[1] = material.normalSlot;
    converted.mapSlots[2] = material.occlusionSlot;
    converted.mapSlots[3] = material.emissiveSlot;
    const RenderLib::TextureTransform& base = material.baseColorSlot.transform;
    const RenderLib::TextureTransform& normal = material.normalSlot.transform;
    converted.normalMapFrameOfItsOwn =
        material.normalSlot.texCoord != material.baseColorSlot.texCoord || normal.rotation != base.rotation ||
        normal.scale[0] != base.scale[0] || normal.scale[1] != base.scale[1];
    Sample(device, converted.textureView.get(), material.baseColorSlot);
    Sample(device, converted.metallicRoughnessView.get(), material.metallicRoughnessSlot);
    Sample(device, converted.normalView.get(), material.normalSlot);
    Sample(device, converted.occlusionView.get(), material.occlusionSlot);
    Sample(device, converted.emissiveView.get(), material.emissiveSlot);
    converted.dirtMaskView = Upload(device, material.dirtMask, &failed);
  } else if (material.diffuseMap) {
    converted.ownMaterial = true;
    converted.metallic = 0.0f;
    converted.roughness = RenderLib::RoughnessOfShininess(material.shininess);
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
