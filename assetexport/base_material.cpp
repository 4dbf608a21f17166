#include "assetexport/base_material.h"

#include "shipped_media/shipped_files.h"

namespace AssetExport {
namespace {

bool LoadShipped(const char* name, uint32_t channels, TextureSampler* sampler, std::string* error) {
  const std::string path = ShippedMedia::FindShippedFile(name);
  if (path.empty()) {
    *error = std::string("the shipped material texture ") + name +
             " was not found (looked in media/ around the current folder and the program, and in an install's "
             "share/patinex/media)";
    return false;
  }
  return LoadTextureSampler(path, channels, sampler, error);
}

}  // namespace

bool LoadShippedMaterials(ShippedMaterials* materials, std::string* error) {
  return LoadShipped(ShippedMedia::kBronzeTexture, 3, &materials->bronze, error) &&
         LoadShipped(ShippedMedia::kBronzeNormalTexture, 3, &materials->bronzeNormal, error) &&
         LoadShipped(ShippedMedia::kPatinaTexture, 3, &materials->patina, error) &&
         LoadShipped(ShippedMedia::kPatinaNormalTexture, 3, &materials->patinaNormal, error);
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
