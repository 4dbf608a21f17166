#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "renderlib/material.h"
#include "renderlib/obj_model.h"
#include "renderlib/ref_counted_image.h"

namespace RenderLib {

// Messages of a load, appended in the order they arise. Callers that pass none hear nothing.
using ErrorList = std::vector<std::string>;

// Whether a load decodes the textures the materials name. Programs that never draw the model
// skip them, which saves the memory and time of decoding large pictures.
enum class Textures { kLoad, kSkip };

// Reads a Wavefront OBJ model and the MTL library it names. Returns none when the OBJ file
// cannot be opened ("file not found") or is no regular file (a FIFO, a device: the message says
// so). A library named by an absolute path is read from there, any other beside the model.
std::unique_ptr<ObjModel> LoadObj(const char* path, ErrorList* errors = nullptr, Textures textures = Textures::kLoad);

// Reads a material library into the materials the OBJ file already created.
void LoadMtl(const char* path, ObjModel& model, ErrorList* errors = nullptr, Textures textures = Textures::kLoad);

// Loads directory/name (or name itself when it is an absolute path) into handle; on failure the
// handle keeps its previous image.
bool LoadMaterialTexture(std::string_view name, std::string_view directory, ImageHandle& handle);

// The message for a model or library file that cannot be read, from the reader's reason.
std::string UnreadableFileMessage(const std::string& reason);

}  // namespace RenderLib
