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

// Reads a Wavefront OBJ model and the MTL library it names. Returns none when the OBJ file
// cannot be opened ("file not found").
std::unique_ptr<ObjModel> LoadObj(const char* path, ErrorList* errors = nullptr);

// Reads a material library into the materials the OBJ file already created.
void LoadMtl(const char* path, ObjModel& model, ErrorList* errors = nullptr);

// Loads directory/name into handle; on failure the handle keeps its previous image.
bool LoadMaterialTexture(std::string_view name, std::string_view directory, ImageHandle& handle);

// Fills the unit tangent (along increasing u) of every vertex.
void ComputeTangents(ObjModel& model);

}  // namespace RenderLib
