#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/renderlib/temporary_folder.h"

// Builds small glTF files for the reader's tests: the binary data goes into one buffer, with a
// buffer view and an accessor for each array; meshes, nodes, scenes and materials are given as
// JSON text by the test.
class GltfTestFile {
public:
  // A buffer view and an accessor over the values; returns the accessor's index.
  int Floats(const std::vector<float>& values, const char* type, int components) {
    return Accessor(values.data(), values.size() * sizeof(float), 5126, type, values.size() / size_t(components));
  }
  int Indices(const std::vector<uint32_t>& values) {
    return Accessor(values.data(), values.size() * sizeof(uint32_t), 5125, "SCALAR", values.size());
  }
  int Accessor(const void* bytes, size_t size, int componentType, const char* type, size_t count,
               const std::string& extra = "") {
    const int view = View(bytes, size);
    accessors.push_back("{\"bufferView\":" + std::to_string(view) +
                        ",\"componentType\":" + std::to_string(componentType) + ",\"type\":\"" + type +
                        "\",\"count\":" + std::to_string(count) + extra + "}");
    return int(accessors.size()) - 1;
  }
  // A buffer view over the bytes, which start on a four-byte boundary; returns its index.
  int View(const void* bytes, size_t size) {
    while (bin.size() % 4 != 0) bin.push_back('\0');
    bufferViews.push_back("{\"buffer\":0,\"byteOffset\":" + std::to_string(bin.size()) +
                          ",\"byteLength\":" + std::to_string(size) + "}");
    bin.append(static_cast<const char*>(bytes), size);
    return int(bufferViews.size()) - 1;
  }

  // The whole JSON document; binUri empty for the buffer of a .glb file.
  std::string Json(const std::string& binUri) const {
    std::string json = "{\"asset\":{\"version\":\"2.0\"}," + extra + "\"buffers\":[{" +
                       (binUri.empty() ? "" : "\"uri\":\"" + binUri + "\",") +
                       "\"byteLength\":" + std::to_string(Padded().size()) + "}],";
    json += "\"bufferViews\":" + List(bufferViews) + ",\"accessors\":" + List(accessors);
    for (const auto& [key, value] : {std::pair<const char*, const std::string&>{"meshes", meshes},
                                     {"nodes", nodes},
                                     {"scenes", scenes},
                                     {"materials", materials},
                                     {"textures", textures},
                                     {"images", images}}) {
      if (!value.empty()) json += std::string(",\"") + key + "\":" + value;
    }
    return json + "}";
  }

  // Writes name.gltf and name.bin beside it; returns the .gltf file's path.
  std::string WriteGltf(const TemporaryFolder& folder, const std::string& name) const {
    folder.Write(name + ".bin", Padded());
    return folder.Write(name + ".gltf", Json(name + ".bin"));
  }

  // Writes name.glb, the JSON and the buffer in one file; returns its path.
  std::string WriteGlb(const TemporaryFolder& folder, const std::string& name) const {
    std::string json = Json("");
    while (json.size() % 4 != 0) json.push_back(' ');
    const std::string data = Padded();
    std::string file = "glTF";
    Word(file, 2);
    Word(file, uint32_t(12 + 8 + json.size() + 8 + data.size()));
    Word(file, uint32_t(json.size()));
    file += "JSON" + json;
    Word(file, uint32_t(data.size()));
    file += std::string("BIN\0", 4) + data;
    return folder.Write(name + ".glb", file);
  }

  std::string meshes, nodes, scenes, materials, textures, images;
  std::string extra;  // members put first into the document, each ending in ','
  std::string bin;
  std::vector<std::string> bufferViews, accessors;

private:
  static std::string List(const std::vector<std::string>& items) {
    std::string list = "[";
    for (const std::string& item : items) list += (list.size() > 1 ? "," : "") + item;
    return list + "]";
  }
  std::string Padded() const {
    std::string data = bin;
    while (data.size() % 4 != 0 || data.empty()) data.push_back('\0');
    return data;
  }
  static void Word(std::string& file, uint32_t value) { file.append(reinterpret_cast<const char*>(&value), 4); }
};
