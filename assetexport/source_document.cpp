#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <utility>

#include "assetexport/aged_document.h"
#include "assetexport/primitive_frames.h"
#include "platform_os/program_version.h"
#include "renderlib/gltf_constants.h"
#include "renderlib/gltf_scene.h"
#include "renderlib/gltf_source.h"

namespace AssetExport {
namespace {

namespace Gltf = RenderLib::Gltf;

// Every buffer appended to the first, views moved along: the written file has one buffer.
void MergeBuffers(tinygltf::Model& gltf) {
  if (gltf.buffers.empty()) return;
  std::vector<size_t> start(gltf.buffers.size(), 0);
  std::vector<unsigned char> merged = std::move(gltf.buffers[0].data);
  for (size_t b = 1; b < gltf.buffers.size(); ++b) {
    merged.resize((merged.size() + 3) / 4 * 4, 0);
    start[b] = merged.size();
    merged.insert(merged.end(), gltf.buffers[b].data.begin(), gltf.buffers[b].data.end());
  }
  for (tinygltf::BufferView& view : gltf.bufferViews) {
    if (view.buffer >= 0 && size_t(view.buffer) < start.size()) view.byteOffset += start[size_t(view.buffer)];
    view.buffer = 0;
  }
  tinygltf::Buffer buffer;
  buffer.data = std::move(merged);
  gltf.buffers.assign(1, std::move(buffer));
}

std::string MimeOfBytes(const std::vector<uint8_t>& bytes) {
  if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) return "image/jpeg";
  return "image/png";
}

// Adds 1 to counts[n] for every number n under `key` anywhere within value.
void CountNumbersUnder(const tinygltf::Value& value, const char* key, std::vector<int>& counts) {
  if (value.IsArray()) {
    for (size_t i = 0; i < value.ArrayLen(); ++i) CountNumbersUnder(value.Get(int(i)), key, counts);
    return;
  }
  if (!value.IsObject()) return;
  for (const std::string& name : value.Keys()) {
    const tinygltf::Value& member = value.Get(name);
    if (name == key && member.IsNumber()) {
      const double n = member.GetNumberAsDouble();
      if (n >= 0.0 && n < double(counts.size())) ++counts[size_t(n)];
    } else {
      CountNumbersUnder(member, key, counts);
    }
  }
}

void CountInExtensions(const tinygltf::ExtensionMap& extensions, const char* key, std::vector<int>& counts) {
  for (const auto& [name, value] : extensions) CountNumbersUnder(value, key, counts);
}

// How many places name each texture and each image. Extensions are searched for any "index"
// (a texture) and "source" (an image), so that what an extension uses is never taken for unused.
void CountUses(const tinygltf::Model& gltf, std::vector<int>& textures, std::vector<int>& images) {
  textures.assign(gltf.textures.size(), 0);
  images.assign(gltf.images.size(), 0);
  const auto count = [&](int index) {
    if (index >= 0 && size_t(index) < textures.size()) ++textures[size_t(index)];
  };
  for (const tinygltf::Material& material : gltf.materials) {
    count(material.pbrMetallicRoughness.baseColorTexture.index);
    count(material.pbrMetallicRoughness.metallicRoughnessTexture.index);
    count(material.normalTexture.index);
    count(material.occlusionTexture.index);
    count(material.emissiveTexture.index);
    CountInExtensions(material.extensions, "index", textures);
  }
  CountInExtensions(gltf.extensions, "index", textures);
  for (const tinygltf::Node& node : gltf.nodes) CountInExtensions(node.extensions, "index", textures);
  for (const tinygltf::Mesh& mesh : gltf.meshes) CountInExtensions(mesh.extensions, "index", textures);
  for (const tinygltf::Texture& texture : gltf.textures) {
    if (texture.source >= 0 && size_t(texture.source) < images.size()) ++images[size_t(texture.source)];
    CountInExtensions(texture.extensions, "source", images);
  }
  CountInExtensions(gltf.extensions, "source", images);
}

// Drops the bytes of the views nothing names any more (the pictures of replaced maps in a .glb
// source) from the buffer, the views left renumbered. Left as it is when an extension names a
// view, since its numbers would go stale.
void DropUnusedViews(tinygltf::Model& gltf) {
  std::vector<int> uses(gltf.bufferViews.size(), 0);
  const auto use = [&](int view) {
    if (view >= 0 && size_t(view) < uses.size()) ++uses[size_t(view)];
  };
  std::vector<int> named(gltf.bufferViews.size(), 0);
  CountInExtensions(gltf.extensions, "bufferView", named);
  for (const tinygltf::Accessor& accessor : gltf.accessors) {
    use(accessor.bufferView);
    if (accessor.sparse.isSparse) {
      use(accessor.sparse.indices.bufferView);
      use(accessor.sparse.values.bufferView);
    }
    CountInExtensions(accessor.extensions, "bufferView", named);
  }
  for (const tinygltf::Image& image : gltf.images) {
    use(image.bufferView);
    CountInExtensions(image.extensions, "bufferView", named);
  }
  for (const tinygltf::Mesh& mesh : gltf.meshes) {
    for (const tinygltf::Primitive& primitive : mesh.primitives) {
      CountInExtensions(primitive.extensions, "bufferView", named);
    }
  }
  if (gltf.buffers.empty() || std::any_of(named.begin(), named.end(), [](int n) { return n > 0; }) ||
      std::all_of(uses.begin(), uses.end(), [](int n) { return n > 0; })) {
    return;
  }
  const std::vector<unsigned char>& old = gltf.buffers[0].data;
  std::vector<unsigned char> kept;
  std::vector<int> renumbered(uses.size(), -1);
  std::vector<tinygltf::BufferView> views;
  for (size_t v = 0; v < uses.size(); ++v) {
    if (uses[v] == 0) continue;
    tinygltf::BufferView view = gltf.bufferViews[v];
    if (view.byteOffset > old.size() || view.byteLength > old.size() - view.byteOffset) return;  // left to the validator
    kept.resize((kept.size() + 3) / 4 * 4, 0);
    const size_t start = kept.size();
    kept.insert(kept.end(), old.begin() + std::ptrdiff_t(view.byteOffset),
                old.begin() + std::ptrdiff_t(view.byteOffset + view.byteLength));
    view.byteOffset = start;
    renumbered[v] = int(views.size());
    views.push_back(std::move(view));
  }
  const auto renumber = [&](int& view) {
    if (view >= 0 && size_t(view) < renumbered.size()) view = renumbered[size_t(view)];
  };
  for (tinygltf::Accessor& accessor : gltf.accessors) {
    renumber(accessor.bufferView);
    if (accessor.sparse.isSparse) {
      renumber(accessor.sparse.indices.bufferView);
      renumber(accessor.sparse.values.bufferView);
    }
  }
  for (tinygltf::Image& image : gltf.images) renumber(image.bufferView);
  gltf.bufferViews = std::move(views);
  gltf.buffers[0].data = std::move(kept);
}

}  // namespace

bool BuildSourceDocument(const AgedAsset& asset, AgedDocument* document, std::string* error) {
  const RenderLib::GltfSource& source = *asset.model->gltfSource;
  if (source.document == nullptr) {
    *error = "the model's glTF document was not kept";
    return false;
  }
  tinygltf::Model& gltf = document->gltf;
  gltf = *source.document;
  MergeBuffers(gltf);
  gltf.asset.generator = std::string("Patinex ") + Platform::ProgramVersion();
  gltf.asset.extras = AgedAssetExtras(asset);

  // Every image is written again: embedded in a .glb, beside a .gltf.
  document->imageBytes.assign(gltf.images.size(), nullptr);
  for (size_t i = 0; i < gltf.images.size(); ++i) {
    if (i >= source.imageBytes.size() || source.imageBytes[i].empty()) continue;
    document->imageBytes[i] = &source.imageBytes[i];
    if (gltf.images[i].mimeType.empty()) gltf.images[i].mimeType = MimeOfBytes(source.imageBytes[i]);
  }

  std::vector<int> maskSets;  // the first image of each space's masks
  for (const MaskImages& masks : asset.masks) {
    maskSets.push_back(document->AddImage(masks.humidity));
    document->AddImage(masks.dirt);
    document->AddImage(masks.rust);
  }
  // The document's material of each aged one; the groups without a material get one of their own.
  std::vector<bool> aged(gltf.materials.size(), false);
  int unmaterialled = -1;
  // A replaced map that nothing else uses gives its texture and image to the aged one, so that
  // the file does not carry a picture nobody shows.
  std::vector<int> textureUses, imageUses;
  CountUses(gltf, textureUses, imageUses);
  const auto reusable = [&](int texture) {
    if (texture < 0 || size_t(texture) >= gltf.textures.size() || textureUses[size_t(texture)] != 1) return -1;
    const tinygltf::Texture& entry = gltf.textures[size_t(texture)];
    const bool alone = entry.extensions.empty() && entry.source >= 0 && size_t(entry.source) < gltf.images.size() &&
                       imageUses[size_t(entry.source)] == 1;
    return alone ? texture : -1;
  };
  for (const AgedMaterial& material : asset.materials) {
    if (material.space < 0 || size_t(material.space) >= maskSets.size()) {
      *error = "no masks were given for mask space " + std::to_string(material.space);
      return false;
    }
    const int first = maskSets[size_t(material.space)];
    const int masks[3] = {first, first + 1, first + 2};
    if (material.material < 0) {
      tinygltf::Material added;
      added.name = material.name;
      PutAgedTextures(material, nullptr, masks, {-1, -1, -1}, added, *document);
      gltf.materials.push_back(std::move(added));
      unmaterialled = int(gltf.materials.size()) - 1;
      aged.push_back(true);
      continue;
    }
    if (size_t(material.material) >= gltf.materials.size()) {
      *error = "aged material " + std::to_string(material.material) + " is not in the document";
      return false;
    }
    tinygltf::Material& target = gltf.materials[size_t(material.material)];
    const tinygltf::TextureInfo layout = target.pbrMetallicRoughness.baseColorTexture;
    const int reuse[3] = {reusable(layout.index), reusable(target.pbrMetallicRoughness.metallicRoughnessTexture.index),
                          reusable(target.normalTexture.index)};
    PutAgedTextures(material, &layout, masks, reuse, target, *document);
    aged[size_t(material.material)] = true;
  }

  // Where each primitive was first placed, and by which node's transform.
  std::vector<Gltf::MeshInstance> instances;
  std::string why;
  if (!Gltf::CollectMeshInstances(gltf, instances, why)) {
    *error = "the document's scene: " + why;
    return false;
  }
  std::map<int, Gltf::Transform> worldOfNode;
  for (const Gltf::MeshInstance& instance : instances) worldOfNode.emplace(instance.node, instance.world);
  std::map<std::pair<int, int>, const RenderLib::PlacedPrimitive*> firstPlacement;
  for (const RenderLib::PlacedPrimitive& placed : source.placed) {
    firstPlacement.emplace(std::make_pair(placed.mesh, placed.primitive), &placed);
  }
  for (size_t m = 0; m < gltf.meshes.size(); ++m) {
    for (size_t p = 0; p < gltf.meshes[m].primitives.size(); ++p) {
      tinygltf::Primitive& primitive = gltf.meshes[m].primitives[p];
      // Points and lines were not baked: they keep what they had.
      if (primitive.mode >= 0 && primitive.mode < Gltf::kModeTriangles) continue;
      if (primitive.material < 0 && unmaterialled >= 0) primitive.material = unmaterialled;
      if (primitive.material < 0 || size_t(primitive.material) >= aged.size() || !aged[size_t(primitive.material)]) {
        continue;
      }
      // A primitive without the coordinates the aged textures are laid on was aged at (0, 0),
      // as the reader took it; it says so, for the textures to be readable at all.
      const int texCoord = gltf.materials[size_t(primitive.material)].pbrMetallicRoughness.baseColorTexture.texCoord;
      const std::string coordinates = "TEXCOORD_" + std::to_string(texCoord);
      const auto position = primitive.attributes.find("POSITION");
      if (!primitive.attributes.count(coordinates) && position != primitive.attributes.end() &&
          position->second >= 0 && size_t(position->second) < gltf.accessors.size()) {
        const std::vector<float> zeros(2 * gltf.accessors[size_t(position->second)].count, 0.0f);
        primitive.attributes[coordinates] = document->AddFloatAccessor(zeros, TINYGLTF_TYPE_VEC2, 2, false);
      }
      const auto found = firstPlacement.find({int(m), int(p)});
      if (found == firstPlacement.end()) continue;  // not in the scene: nothing was baked for it
      const RenderLib::PlacedPrimitive& placed = *found->second;
      const auto world = worldOfNode.find(placed.node);
      if (placed.group < 0 || size_t(placed.group) >= asset.frames->size() || world == worldOfNode.end()) {
        *error = "mesh " + std::to_string(m) + " primitive " + std::to_string(p) + " is not where the model says";
        return false;
      }
      if (!WriteFrames(placed, world->second, (*asset.frames)[size_t(placed.group)], primitive, *document, error)) {
        return false;
      }
    }
  }
  DropUnusedViews(gltf);
  return true;
}

}  // namespace AssetExport
