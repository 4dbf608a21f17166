#pragma once

#include <memory>
#include <string>

#include "renderlib/obj_loader.h"
#include "renderlib/obj_model.h"

namespace RenderLib {

// The model files Patinex reads, told by their extension (any case): ".obj" (Wavefront OBJ with
// its MTL library), ".gltf" and ".glb" (glTF 2.0).
bool IsModelFileName(const std::string& path);

// Reads a model file of any of those formats. Returns none when the file cannot be read, with
// `failure` naming the file and saying what is wrong (a name of none of those extensions is
// refused too). Messages of a model that loads (a texture that could not be read, a primitive
// skipped) go to `notes` when given. Only a regular file is read (a FIFO or a device is refused
// unread). With Textures::kSkip no texture is decoded.
std::unique_ptr<ObjModel> LoadModelFile(const std::string& path, ErrorList* notes, std::string& failure,
                                        Textures textures = Textures::kLoad);

}  // namespace RenderLib
