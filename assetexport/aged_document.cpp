#include "assetexport/aged_document.h"

#include <algorithm>
#include <limits>

#include "renderlib/gltf_constants.h"

namespace AssetExport {

namespace Gltf = RenderLib::Gltf;

int AgedDocument::AddView(const void* data, size_t size, int target, size_t stride) {
  if (gltf.buffers.empty()) gltf.buffers.emplace_back();
  std::vector<unsigned char>& bytes = gltf.buffers[0].data;
  bytes.resize((bytes.size() + 3) / 4 * 4, 0);
  tinygltf::BufferView view;
  view.buffer = 0;
  view.byteOffset = bytes.size();
  view.byteLength = size;
  view.byteStride = stride;
  view.target = target;
  const unsigned char* start = static_cast<const unsigned char*>(data);
  bytes.insert(bytes.end(), start, start + size);
  gltf.bufferViews.push_back(std::move(view));
  return int(gltf.bufferViews.size()) - 1;
}

int AgedDocument::AddFloatAccessor(const std::vector<float>& values, int type, int components, bool bounds) {
  tinygltf::Accessor accessor;
  accessor.bufferView = AddView(values.data(), values.size() * sizeof(float), Gltf::kArrayBuffer);
  accessor.componentType = Gltf::kFloat;
  accessor.count = values.size() / size_t(components);
  accessor.type = type;
  if (bounds) {
    accessor.minValues.assign(size_t(components), std::numeric_limits<double>::max());
    accessor.maxValues.assign(size_t(components), -std::numeric_limits<double>::max());
    for (size_t i = 0; i < values.size(); ++i) {
      const size_t c = i % size_t(components);
      accessor.minValues[c] = std::min(accessor.minValues[c], double(values[i]));
      accessor.maxValues[c] = std::max(accessor.maxValues[c], double(values[i]));
    }
  }
  gltf.accessors.push_back(std::move(accessor));
  return int(gltf.accessors.size()) - 1;
}

int AgedDocument::AddImage(const AssetImage& image) {
  tinygltf::Image entry;
  entry.name = image.name;
  entry.mimeType = image.mimeType;
  gltf.images.push_back(std::move(entry));
  imageBytes.push_back(&image.bytes);
  return int(gltf.images.size()) - 1;
}

int AgedDocument::AddTexture(int image, int sampler) {
  tinygltf::Texture texture;
  texture.source = image;
  texture.sampler = sampler;
  gltf.textures.push_back(std::move(texture));
  return int(gltf.textures.size()) - 1;
}

int AgedDocument::DefaultSampler() {
  if (defaultSampler < 0) {
    tinygltf::Sampler sampler;
    sampler.magFilter = Gltf::kLinear;
    sampler.minFilter = Gltf::kLinearMipmapLinear;
    sampler.wrapS = Gltf::kRepeat;
    sampler.wrapT = Gltf::kRepeat;
    gltf.samplers.push_back(std::move(sampler));
    defaultSampler = int(gltf.samplers.size()) - 1;
  }
  return defaultSampler;
}

void PutAgedTextures(const AgedMaterial& aged, const tinygltf::TextureInfo* layout, const int (&maskImages)[3],
                     const int (&reuse)[3], tinygltf::Material& material, AgedDocument& document) {
  int sampler = -1;
  if (layout != nullptr && layout->index >= 0 && size_t(layout->index) < document.gltf.textures.size()) {
    sampler = document.gltf.textures[size_t(layout->index)].sampler;
  } else {
    layout = nullptr;
    sampler = document.DefaultSampler();
  }
  const auto place = [&](const AssetImage& image, int reused, auto& info) {
    if (reused >= 0) {
      tinygltf::Texture& texture = document.gltf.textures[size_t(reused)];
      tinygltf::Image& entry = document.gltf.images[size_t(texture.source)];
      entry = tinygltf::Image();
      entry.name = image.name;
      entry.mimeType = image.mimeType;
      document.imageBytes[size_t(texture.source)] = &image.bytes;
      texture.sampler = sampler;
      info.index = reused;
    } else {
      info.index = document.AddTexture(document.AddImage(image), sampler);
    }
    info.texCoord = layout != nullptr ? layout->texCoord : 0;
    info.extensions = layout != nullptr ? layout->extensions : tinygltf::ExtensionMap();
  };
  tinygltf::PbrMetallicRoughness& pbr = material.pbrMetallicRoughness;
  place(aged.baseColor, reuse[0], pbr.baseColorTexture);
  place(aged.metallicRoughness, reuse[1], pbr.metallicRoughnessTexture);
  place(aged.normal, reuse[2], material.normalTexture);
  material.normalTexture.scale = 1.0;
  pbr.baseColorFactor = {1.0, 1.0, 1.0, 1.0};
  pbr.metallicFactor = 1.0;
  pbr.roughnessFactor = 1.0;

  tinygltf::Value::Object extras;
  if (material.extras.IsObject()) extras = material.extras.Get<tinygltf::Value::Object>();
  tinygltf::Value::Object masks;
  masks["humidity"] = tinygltf::Value(maskImages[0]);
  masks["dirt"] = tinygltf::Value(maskImages[1]);
  masks["rust"] = tinygltf::Value(maskImages[2]);
  extras["patinexMasks"] = tinygltf::Value(masks);
  material.extras = tinygltf::Value(extras);
}

tinygltf::Value AgedAssetExtras(const AgedAsset& asset) {
  tinygltf::Value::Object extras;
  extras["patinexStep"] = tinygltf::Value(int(asset.step));
  extras["patinexRustFactor"] = tinygltf::Value(double(asset.look.rustFactor));
  extras["patinexDirtFactor"] = tinygltf::Value(double(asset.look.dirtFactor));
  if (!asset.lookName.empty()) extras["patinexLook"] = tinygltf::Value(asset.lookName);
  return tinygltf::Value(extras);
}

}  // namespace AssetExport
