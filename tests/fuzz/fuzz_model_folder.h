#pragma once

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "renderlib/obj_model.h"

// The loaders take paths, so each input goes to a file in a folder of this process's own in
// /tmp. The folder also holds a small library and texture that seeds can name ("lib.mtl",
// "tex.tga"), so the whole chain from model to texture is reached.
class FuzzModelFolder {
public:
  FuzzModelFolder() : folder(std::filesystem::temp_directory_path() / ("patinex_fuzz_model_" + std::to_string(getpid()))) {
    std::filesystem::create_directories(folder);
    Write("lib.mtl", "newmtl default\nKd 1 0 0\nmap_Kd tex.tga\nnewmtl wood\nNs 20\n");
    const uint8_t targa[] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 10, 20, 30};
    Write("tex.tga", std::string(reinterpret_cast<const char*>(targa), sizeof targa));
  }
  ~FuzzModelFolder() { std::filesystem::remove_all(folder); }

  std::string Write(const std::string& name, const std::string& bytes) const {
    std::string path = (folder / name).string();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) std::abort();
    std::fclose(file);
    return path;
  }

private:
  std::filesystem::path folder;
};

// Whatever the input, a model's materials that hold an image hold a whole one.
inline void CheckMaterials(const RenderLib::ObjModel& model) {
  for (const RenderLib::MaterialHandle& material : model.materials) {
    if (!material || material->name[RenderLib::Material::kNameCapacity - 1] != '\0') std::abort();
    for (const RenderLib::ImageHandle* map : {&material->ambientMap, &material->diffuseMap, &material->specularMap}) {
      if (*map && ((*map)->samples == nullptr || (*map)->width == 0 || (*map)->height == 0)) std::abort();
    }
  }
}
