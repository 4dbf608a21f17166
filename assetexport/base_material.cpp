#include "assetexport/base_material.h"

#include <filesystem>

#include "shipped_media/shipped_files.h"

namespace AssetExport {
namespace {

bool LoadLookTexture(const std::string& name, TextureSampler* sampler, std::string* error) {
  if (name.empty()) return true;
  std::error_code code;
  std::string path = std::filesystem::is_regular_file(name, code) ? name : ShippedMedia::FindShippedFile(name.c_str());
  // The shipped looks' own textures lie beside them in media/looks, where a user's copy of a
  // shipped look finds them too.
  if (const std::string media = ShippedMedia::FindShippedFolder(); path.empty() && !media.empty()) {
    const std::filesystem::path beside = std::filesystem::path(media) / "looks" / name;
    if (std::filesystem::is_regular_file(beside, code)) path = beside.string();
  }
  if (path.empty()) {
    *error = "the look's texture " + name +
             " was not found (neither as a file nor in media/ or media/looks/ around the current folder and the "
             "program, or in an install's share/patinex/media)";
    return false;
  }
  return LoadTextureSampler(path, 3, sampler, error);
}

bool LoadSurface(const LookSurface& surface, SurfaceTextures* textures, std::string* error) {
  return LoadLookTexture(surface.texture, &textures->color, error) &&
         LoadLookTexture(surface.normalTexture, &textures->normal, error);
}

}  // namespace

bool LoadLookTextures(const Look& look, LookTextures* textures, std::string* error) {
  textures->layers.assign(look.layers.size(), SurfaceTextures());
  if (!look.ownBase && !LoadSurface(look.base, &textures->base, error)) return false;
  for (size_t i = 0; i < look.layers.size(); ++i) {
    if (!LoadSurface(look.layers[i].surface, &textures->layers[i], error)) return false;
  }
  return true;
}

BaseMaterial BaseMaterialOf(const RenderLib::Material* material) {
  BaseMaterial base;
  if (material == nullptr) return base;
  if (material->metallicRoughness) {
    base.own = true;
    if (const RenderLib::RefCountedImage* image = material->diffuseMap.Get()) base.color = TextureSampler(*image, 4);
    for (int c = 0; c < 4; ++c) base.colorFactor[c] = material->baseColorFactor[c];
    if (const RenderLib::RefCountedImage* image = material->metallicRoughnessMap.Get()) {
      base.metallicRoughness = TextureSampler(*image, 3);
    }
    base.metallic = material->metallicFactor;
    base.roughness = material->roughnessFactor;
    if (const RenderLib::RefCountedImage* image = material->normalMap.Get()) base.normal = TextureSampler(*image, 3);
    base.normalScale = material->normalScale;
  } else if (const RenderLib::RefCountedImage* image = material->diffuseMap.Get()) {
    base.own = true;
    base.color = TextureSampler(*image, 4);
    // Painted surfaces are not metal.
    base.roughness = RenderLib::RoughnessOfShininess(material->shininess);
    base.metallic = 0.0f;
  }
  return base;
}

}  // namespace AssetExport
