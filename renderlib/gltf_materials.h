#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "renderlib/material.h"
#include "renderlib/obj_loader.h"

namespace tinygltf {
class Model;
}

namespace RenderLib::Gltf {

// The bytes of the images a file names by URI (a file beside it or a data URI), by image index;
// empty where the file gave none or the image lives in a buffer view. Images that name a file
// named before keep no bytes of their own: they share the first one's.
struct ImageFileBytes {
  std::vector<std::vector<uint8_t>> bytes;
  std::unordered_map<std::string, int> firstWithUri;

  // Keeps the bytes of image `index`, unless an earlier image named the same file.
  void Keep(int index, const std::string& uri, const unsigned char* data, size_t size);
  void Clear() {
    bytes.clear();
    firstWithUri.clear();
  }
};

// The most pixels the images of one model may hold in all: four 8192 x 8192 textures. Each
// image is bounded on its own by the decoders; many large ones would still take gigabytes.
inline constexpr uint64_t kMaxModelImagePixels = uint64_t(1) << 28;

// Turns the file's metallic-roughness materials into model materials, in the file's order: base
// colour factor and texture (also as the diffuse colour and map the viewer draws), metallic and
// roughness factors and texture, normal texture and scale, occlusion texture and strength,
// emissive factor and texture, alpha mode and cutoff, double-sidedness, how each map is laid on
// (its TextureSlot: coordinate set, KHR_texture_transform, sampler), and the step masks an aged
// export names in its extras. Each image source (a URI, a buffer view) is decoded once and shared
// by every image entry and material that uses it; more than kMaxModelImagePixels in all is
// refused. False with the reason in `error` when a texture or image named does not exist, is
// missing or cannot be decoded. A map asking for a coordinate set past the second is noted in
// `notes` and laid on with the first, as are step masks that name no image. With Textures::kSkip
// no image is decoded and the maps stay empty; the textures named are still checked.
bool ReadMaterials(const tinygltf::Model& file, const ImageFileBytes& imageFiles, Textures textures,
                   std::vector<MaterialHandle>& materials, ErrorList* notes, std::string& error);

}  // namespace RenderLib::Gltf
