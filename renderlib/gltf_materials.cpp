#include "renderlib/gltf_materials.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cstring>

#include "renderlib/gltf_texture_slot.h"

namespace RenderLib::Gltf {
namespace {

// Entries naming one file share its bytes and its decoding. A data URI carries the image itself
// (megabytes of text): keying by it would copy it for a sharing that does not happen in practice.
bool SharedByUri(const std::string& uri) { return !uri.empty() && uri.rfind("data:", 0) != 0; }

class ImageCache {
public:
  ImageCache(const tinygltf::Model& file, const ImageFileBytes& imageFiles, Textures textures)
      : file(file), imageFiles(imageFiles), textures(textures), decoded(file.images.size()), sameAs(file.images.size()) {
    // Entries naming one source (a URI, a buffer view) decode it once, as the first of them.
    std::unordered_map<std::string, int> first;
    for (size_t i = 0; i < file.images.size(); ++i) {
      const tinygltf::Image& image = file.images[i];
      const std::string key = image.bufferView >= 0 ? "view " + std::to_string(image.bufferView)
                                                    : SharedByUri(image.uri) ? "uri " + image.uri : std::string();
      sameAs[i] = key.empty() ? int(i) : first.emplace(key, int(i)).first->second;
    }
  }

  // The image texture `index` shows, decoded on first use. `use` names the slot for messages.
  bool Texture(int index, const std::string& use, ImageHandle& handle, std::string& error) {
    if (index < 0 || size_t(index) >= file.textures.size()) {
      error = use + " names texture " + std::to_string(index) + ", which does not exist";
      return false;
    }
    const int source = file.textures[size_t(index)].source;
    if (source < 0 || size_t(source) >= file.images.size()) {
      error = "texture " + std::to_string(index) + " (" + use + ") has no image in a format Patinex reads";
      return false;
    }
    return Image(source, handle, error);
  }

  // Image `index` (which exists), decoded on first use.
  bool Image(int index, ImageHandle& handle, std::string& error) {
    if (textures == Textures::kSkip) return true;
    const int shared = sameAs[size_t(index)];
    if (!decoded[size_t(shared)] && !Decode(shared, error)) return false;
    handle = decoded[size_t(shared)];
    return true;
  }

  size_t ImageCount() const { return file.images.size(); }

private:
  bool Decode(int index, std::string& error) {
    const tinygltf::Image& image = file.images[size_t(index)];
    // A file's name helps the reader of the message; a data URI's bytes do not.
    const bool named = !image.uri.empty() && image.uri.size() <= 200 && image.uri.rfind("data:", 0) != 0;
    const std::string name = "image " + std::to_string(index) + (named ? " ('" + image.uri + "')" : "");
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    if (image.bufferView >= 0) {
      if (size_t(image.bufferView) >= file.bufferViews.size()) {
        error = name + " names buffer view " + std::to_string(image.bufferView) + ", which does not exist";
        return false;
      }
      const tinygltf::BufferView& view = file.bufferViews[size_t(image.bufferView)];
      if (view.buffer < 0 || size_t(view.buffer) >= file.buffers.size()) {
        error = name + " lies in buffer " + std::to_string(view.buffer) + ", which does not exist";
        return false;
      }
      const std::vector<unsigned char>& buffer = file.buffers[size_t(view.buffer)].data;
      if (view.byteOffset > buffer.size() || view.byteLength > buffer.size() - view.byteOffset) {
        error = name + " reaches past the end of buffer " + std::to_string(view.buffer);
        return false;
      }
      bytes = buffer.data() + view.byteOffset;
      size = view.byteLength;
    } else if (size_t(index) < imageFiles.bytes.size() && !imageFiles.bytes[size_t(index)].empty()) {
      bytes = imageFiles.bytes[size_t(index)].data();
      size = imageFiles.bytes[size_t(index)].size();
    } else {
      error = name + " cannot be read: the file is missing or empty";
      return false;
    }
    ImageHandle handle(new RefCountedImage());
    std::string why;
    if (!handle->Decode(bytes, size, why)) {
      error = name + " cannot be decoded: " + why;
      return false;
    }
    pixels += uint64_t(handle->width) * handle->height;
    if (pixels > kMaxModelImagePixels) {
      error = "with " + name + " the model's images hold more than " + std::to_string(kMaxModelImagePixels >> 20) +
              " million pixels in all (four 8192 x 8192 images), the most Patinex reads for one model";
      return false;
    }
    decoded[size_t(index)] = handle;
    return true;
  }

  const tinygltf::Model& file;
  const ImageFileBytes& imageFiles;
  const Textures textures;
  std::vector<ImageHandle> decoded;
  std::vector<int> sameAs;  // the image entry whose decoding each entry shares
  uint64_t pixels = 0;      // decoded so far
};

void CopyName(const std::string& name, char (&target)[Material::kNameCapacity]) {
  const size_t length = std::min(name.size(), size_t(Material::kNameCapacity - 1));
  std::memcpy(target, name.data(), length);
  target[length] = '\0';
}

// An aged export names the masks of its step in the material's extras ("patinexMasks": image
// indices by mask); they are kept so that the mask views can show them. A name that is not an
// image of the file is noted and passed over: the material itself is whole without it.
bool ReadStepMasks(const tinygltf::Material& source, const std::string& label, ImageCache& images, Material& material,
                   ErrorList* notes, std::string& error) {
  if (!source.extras.Has("patinexMasks")) return true;  // Has is false for what is not an object
  const tinygltf::Value& masks = source.extras.Get("patinexMasks");
  const std::pair<const char*, ImageHandle*> slots[] = {{"rust", &material.rustMask}, {"dirt", &material.dirtMask}};
  for (const auto& [name, map] : slots) {
    if (!masks.Has(name) || !masks.Get(name).IsNumber()) continue;
    const tinygltf::Value& index = masks.Get(name);
    const double image = index.GetNumberAsDouble();
    if (!(image >= 0.0 && image < double(images.ImageCount())) || image != double(int(image))) {
      if (notes != nullptr) notes->push_back(label + "'s " + name + " mask names no image of the file; it is not shown");
      continue;
    }
    if (!images.Image(int(image), *map, error)) return false;
  }
  return true;
}

}  // namespace

void ImageFileBytes::Keep(int index, const std::string& uri, const unsigned char* data, size_t size) {
  if (SharedByUri(uri) && !firstWithUri.emplace(uri, index).second) return;
  if (bytes.size() <= size_t(index)) bytes.resize(size_t(index) + 1);
  bytes[size_t(index)].assign(data, data + size);
}

bool ReadMaterials(const tinygltf::Model& file, const ImageFileBytes& imageFiles, Textures textures,
                   std::vector<MaterialHandle>& materials, ErrorList* notes, std::string& error) {
  ImageCache images(file, imageFiles, textures);
  for (size_t i = 0; i < file.materials.size(); ++i) {
    const tinygltf::Material& source = file.materials[i];
    const tinygltf::PbrMetallicRoughness& pbr = source.pbrMetallicRoughness;
    MaterialHandle handle(new Material());
    Material& material = *handle;
    CopyName(source.name.empty() ? "material " + std::to_string(i) : source.name, material.name);
    material.metallicRoughness = true;
    if (pbr.baseColorFactor.size() == 4) {
      for (int c = 0; c < 4; ++c) material.baseColorFactor[c] = float(pbr.baseColorFactor[size_t(c)]);
    }
    material.metallicFactor = float(pbr.metallicFactor);
    material.roughnessFactor = float(pbr.roughnessFactor);
    material.normalScale = float(source.normalTexture.scale);
    material.occlusionStrength = float(source.occlusionTexture.strength);
    if (source.emissiveFactor.size() == 3) {
      for (int c = 0; c < 3; ++c) material.emissiveFactor[c] = float(source.emissiveFactor[size_t(c)]);
    }
    // The viewer's untextured and textured looks take the diffuse colour and map.
    material.diffuse = Vector3(material.baseColorFactor[0], material.baseColorFactor[1], material.baseColorFactor[2]);
    material.opacity = material.baseColorFactor[3];

    material.doubleSided = source.doubleSided;
    material.alphaCutoff = float(source.alphaCutoff);
    material.alphaMode = source.alphaMode == "MASK"    ? AlphaMode::kMask
                         : source.alphaMode == "BLEND" ? AlphaMode::kBlend
                                                       : AlphaMode::kOpaque;

    const std::string label = "material " + std::to_string(i);
    struct Slot {
      int texture;
      int texCoord;
      const tinygltf::ExtensionMap& extensions;
      const char* use;
      ImageHandle* map;
      TextureSlot* slot;
    };
    const Slot slots[] = {
        {pbr.baseColorTexture.index, pbr.baseColorTexture.texCoord, pbr.baseColorTexture.extensions,
         "base colour texture", &material.diffuseMap, &material.baseColorSlot},
        {pbr.metallicRoughnessTexture.index, pbr.metallicRoughnessTexture.texCoord,
         pbr.metallicRoughnessTexture.extensions, "metallic-roughness texture", &material.metallicRoughnessMap,
         &material.metallicRoughnessSlot},
        {source.normalTexture.index, source.normalTexture.texCoord, source.normalTexture.extensions, "normal texture",
         &material.normalMap, &material.normalSlot},
        {source.occlusionTexture.index, source.occlusionTexture.texCoord, source.occlusionTexture.extensions,
         "occlusion texture", &material.occlusionMap, &material.occlusionSlot},
        {source.emissiveTexture.index, source.emissiveTexture.texCoord, source.emissiveTexture.extensions,
         "emissive texture", &material.emissiveMap, &material.emissiveSlot},
    };
    for (const Slot& slot : slots) {
      if (slot.texture < 0) continue;
      if (!images.Texture(slot.texture, label + "'s " + slot.use, *slot.map, error)) return false;
      *slot.slot = ReadTextureSlot(file, slot.texture, slot.texCoord, slot.extensions);
      const int32_t set = slot.slot->texCoord;
      if (set != 0 && set != 1) {
        if (notes != nullptr) {
          notes->push_back(label + "'s " + slot.use + " asks for TEXCOORD_" + std::to_string(set) +
                           "; Patinex reads the first two sets, and lays it on with TEXCOORD_0");
        }
        slot.slot->texCoord = 0;
      }
    }
    if (!ReadStepMasks(source, label, images, material, notes, error)) return false;
    materials.push_back(handle);
  }
  return true;
}

}  // namespace RenderLib::Gltf
