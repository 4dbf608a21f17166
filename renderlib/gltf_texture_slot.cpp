#include "renderlib/gltf_texture_slot.h"

#include <tiny_gltf.h>

#include <cmath>

namespace RenderLib::Gltf {
namespace {

// A member holding a finite number, read as a float.
bool ReadNumber(const tinygltf::Value& owner, const char* key, float& out) {
  if (!owner.Has(key) || !owner.Get(key).IsNumber()) return false;
  const double value = owner.Get(key).GetNumberAsDouble();
  if (!std::isfinite(value)) return false;
  out = float(value);
  return true;
}

// A member holding two finite numbers; `out` is left alone unless both are.
void ReadPair(const tinygltf::Value& owner, const char* key, float (&out)[2]) {
  if (!owner.Has(key)) return;
  const tinygltf::Value& pair = owner.Get(key);
  if (!pair.IsArray() || pair.ArrayLen() != 2 || !pair.Get(0).IsNumber() || !pair.Get(1).IsNumber()) return;
  const double first = pair.Get(0).GetNumberAsDouble(), second = pair.Get(1).GetNumberAsDouble();
  if (!std::isfinite(first) || !std::isfinite(second)) return;
  out[0] = float(first);
  out[1] = float(second);
}

}  // namespace

TextureSlot ReadTextureSlot(const tinygltf::Model& file, int texture, int texCoord,
                            const std::map<std::string, tinygltf::Value>& extensions) {
  TextureSlot slot;
  slot.texCoord = texCoord;
  const int sampler = file.textures[size_t(texture)].sampler;
  // A texture without a sampler (or naming none that exists) repeats and leaves the filters to
  // the viewer, as the format says.
  if (sampler >= 0 && size_t(sampler) < file.samplers.size()) {
    const tinygltf::Sampler& settings = file.samplers[size_t(sampler)];
    slot.magFilter = settings.magFilter;
    slot.minFilter = settings.minFilter;
    slot.wrapS = settings.wrapS;
    slot.wrapT = settings.wrapT;
  }
  const auto found = extensions.find(kTextureTransformExtension);
  if (found == extensions.end() || !found->second.IsObject()) return slot;
  const tinygltf::Value& transform = found->second;
  ReadPair(transform, "offset", slot.transform.offset);
  ReadPair(transform, "scale", slot.transform.scale);
  ReadNumber(transform, "rotation", slot.transform.rotation);
  if (transform.Has("texCoord") && transform.Get("texCoord").IsInt()) {
    slot.texCoord = transform.Get("texCoord").GetNumberAsInt();
  }
  return slot;
}

}  // namespace RenderLib::Gltf
