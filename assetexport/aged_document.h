#pragma once

#include <tiny_gltf.h>

#include <cstdint>
#include <string>
#include <vector>

#include "assetexport/aged_asset.h"

namespace AssetExport {

// The glTF document an export writes, built in memory: one buffer (index 0) that every view
// lies in, and where each image's encoded bytes come from (null: the image is left as the
// document names it).
struct AgedDocument {
  tinygltf::Model gltf;
  std::vector<const std::vector<uint8_t>*> imageBytes;  // one an image of gltf

  // Appends bytes to the buffer as a view of their own, 4-byte aligned; returns the view.
  int AddView(const void* data, size_t size, int target, size_t stride = 0);
  // A float accessor of count elements of `components` floats (glTF type `type`) over a view of
  // its own; min and max are given for POSITION, which needs them.
  int AddFloatAccessor(const std::vector<float>& values, int type, int components, bool bounds);
  int AddImage(const AssetImage& image);
  int AddTexture(int image, int sampler);
  // The linear, mip-mapped, repeating sampler the aged textures take where they have none.
  int DefaultSampler();

private:
  int defaultSampler = -1;
};

// Points a document material at an aged material's textures: base colour, metallic-roughness
// and normal replaced, laid on as `layout` lays the source base colour map (its texture
// coordinate set, extensions such as KHR_texture_transform, and its texture's sampler) or, when
// it has none, on set 0 through the default sampler. The factors the bake multiplied in become 1
// and the normal scale 1. The material's extras name its mask space's masks (image indices of
// humidity, dirt and rust), as the program reads them back. reuse names, for the base colour,
// metallic-roughness and normal textures, a texture (and its image) that nothing else uses to
// hold the aged one instead of a new texture; -1 for a new one.
void PutAgedTextures(const AgedMaterial& aged, const tinygltf::TextureInfo* layout, const int (&maskImages)[3],
                     const int (&reuse)[3], tinygltf::Material& material, AgedDocument& document);

// The step and the look, as the asset's extras hold them.
tinygltf::Value AgedAssetExtras(const AgedAsset& asset);

// The document of a model read from glTF (model.gltfSource set): the source document with its
// buffers merged into one, every image kept, the aged materials put in, TANGENT written for every
// primitive of an aged material from the frames the bake used (in the mesh's own space), and the
// primitives that had no NORMAL written with their flat normals, unwelded. False with the reason.
bool BuildSourceDocument(const AgedAsset& asset, AgedDocument* document, std::string* error);

// The document of any other model: one node `name` with one mesh, a primitive a group, a
// material a material of the model's (named after it).
bool BuildModelDocument(const AgedAsset& asset, const std::string& name, AgedDocument* document, std::string* error);

}  // namespace AssetExport
