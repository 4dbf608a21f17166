#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "assetexport/texture_sampler.h"
#include "renderlib/obj_loader.h"

namespace AssetExportTest {

// A folder of its own for the files a test writes, removed with them when the test ends.
class TestFolder {
public:
  TestFolder() {
    static std::atomic<int> serial{0};
    path = std::filesystem::temp_directory_path() /
           ("patinex_assetexport_" + std::to_string(getpid()) + "_" + std::to_string(serial++));
    std::filesystem::create_directories(path);
  }
  ~TestFolder() { std::filesystem::remove_all(path); }

  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream((path / name), std::ios::binary) << text;
    return Path(name);
  }
  std::string Path(const std::string& name = "") const { return (path / name).string(); }

  std::filesystem::path path;
};

// A square of side 2 in the plane z = 0, facing +z, whose texture coordinates span
// [0.25, 0.75] x [0.25, 0.75], as an OBJ file; with `material`, it uses that MTL text.
inline std::unique_ptr<RenderLib::ObjModel> LoadSquare(const TestFolder& folder, const std::string& material = "") {
  std::string obj;
  if (!material.empty()) {
    folder.Write("square.mtl", material);
    obj += "mtllib square.mtl\nusemtl own\n";
  }
  obj +=
      "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n"
      "vt 0.25 0.25\nvt 0.75 0.25\nvt 0.75 0.75\nvt 0.25 0.75\n"
      "vn 0 0 1\n"
      "f 1/1/1 2/2/1 3/3/1\nf 1/1/1 3/3/1 4/4/1\n";
  const std::string path = folder.Write("square.obj", obj);
  return RenderLib::LoadObj(path.c_str(), nullptr);
}

// A mask of one value everywhere, or of `top` in the upper half of its rows and `bottom` below.
inline AssetExport::TextureSampler Mask(float top, float bottom = -1.0f, uint32_t size = 64) {
  std::vector<float> grey(size_t(size) * size);
  for (uint32_t y = 0; y < size; ++y) {
    for (uint32_t x = 0; x < size; ++x) grey[size_t(y) * size + x] = bottom < 0.0f || y < size / 2 ? top : bottom;
  }
  return AssetExport::TextureSampler(size, size, 1, std::move(grey));
}

}  // namespace AssetExportTest
