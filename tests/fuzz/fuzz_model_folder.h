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
// /tmp. The folder also holds a small library, textures and a glTF buffer that seeds can name
// ("lib.mtl", "tex.tga", "tex.png", "gltf.bin": a triangle's positions, normals, texture
// coordinates and indices from bytes 0, 36, 72 and 96), so the whole chain from model to texture
// is reached.
class FuzzModelFolder {
public:
  FuzzModelFolder() : folder(std::filesystem::temp_directory_path() / ("patinex_fuzz_model_" + std::to_string(getpid()))) {
    std::filesystem::create_directories(folder);
    Write("lib.mtl", "newmtl default\nKd 1 0 0\nmap_Kd tex.tga\nnewmtl wood\nNs 20\n");
    const uint8_t targa[] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 10, 20, 30};
    Write("tex.tga", std::string(reinterpret_cast<const char*>(targa), sizeof targa));
    const uint8_t png[] = {137, 80,  78, 71, 13, 10, 26,  10,  0,   0,   0,   13,  73, 72, 68,  82, 0,   0,
                           0,   2,   0,  0,  0,  1,  8,   2,   0,   0,   0,   123, 64, 232, 221, 0,  0,   0,
                           13,  73,  68, 65, 84, 120, 156, 99, 248, 207, 0,   4,   255, 1,  7,   0,   1,  255,
                           226, 35,  158, 89, 0, 0,   0,   0,   73,  69,  78,  68,  174, 66,  96,  130};
    Write("tex.png", std::string(reinterpret_cast<const char*>(png), sizeof png));
    const float triangle[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    const uint32_t indices[] = {0, 1, 2};
    std::string buffer(reinterpret_cast<const char*>(triangle), sizeof triangle);
    buffer.append(reinterpret_cast<const char*>(indices), sizeof indices);
    Write("gltf.bin", buffer);
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
    for (const RenderLib::ImageHandle* map : {&material->ambientMap, &material->diffuseMap, &material->specularMap,
                                              &material->metallicRoughnessMap, &material->normalMap}) {
      if (*map && ((*map)->samples == nullptr || (*map)->width == 0 || (*map)->height == 0)) std::abort();
    }
  }
}
