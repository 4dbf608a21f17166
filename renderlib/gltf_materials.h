#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "renderlib/material.h"
#include "renderlib/obj_loader.h"

namespace tinygltf {
class Model;
}

namespace RenderLib::Gltf {

// The bytes of the images a file names by URI (a file beside it or a data URI), by image index;
// empty where the file gave none or the image lives in a buffer view.
using ImageFileBytes = std::vector<std::vector<uint8_t>>;

// Turns the file's metallic-roughness materials into model materials, in the file's order: base
// colour factor and texture (also as the diffuse colour and map the viewer draws), metallic and
// roughness factors and texture, normal texture and scale. Each image is decoded once and shared
// by the materials that use it. False with the reason in `error` when a texture or image named
// does not exist, is missing or cannot be decoded. Textures that ask for a texture coordinate
// set other than the first are noted in `notes` (only TEXCOORD_0 is read). With Textures::kSkip
// no image is decoded and the maps stay empty; the textures named are still checked.
bool ReadMaterials(const tinygltf::Model& file, const ImageFileBytes& imageFiles, Textures textures,
                   std::vector<MaterialHandle>& materials, ErrorList* notes, std::string& error);

}  // namespace RenderLib::Gltf
