#pragma once

#include <map>
#include <string>

#include "renderlib/texture_slot.h"

namespace tinygltf {
class Model;
class Value;
}  // namespace tinygltf

namespace RenderLib::Gltf {

inline constexpr const char* kTextureTransformExtension = "KHR_texture_transform";

// How texture `texture` (an index the caller has checked) is laid on through a textureInfo that
// asks for coordinate set `texCoord` and carries `extensions`: its sampler's filters and
// wrapping, its KHR_texture_transform, whose own texCoord wins over the textureInfo's. Members of
// the wrong type are passed over, keeping the format's defaults. The set is as the file names
// it: the caller decides what to do with a set it does not read.
TextureSlot ReadTextureSlot(const tinygltf::Model& file, int texture, int texCoord,
                            const std::map<std::string, tinygltf::Value>& extensions);

}  // namespace RenderLib::Gltf
