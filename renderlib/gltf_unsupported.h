#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tinygltf {
class Model;
}

namespace RenderLib::Gltf {

// What a glTF file asks of its reader that Patinex does not do, found either in the parsed model
// or, when the parse itself failed (a Draco primitive's accessors have no data, a file named by
// an absolute path is not found), in the JSON text, so that the refusal names the real cause.
struct FileDemands {
  std::vector<std::string> requiredExtensions;
  // Primitives ("mesh 0 primitive 1") compressed with Draco whose positions have no plain data
  // to fall back on.
  std::vector<std::string> dracoPrimitives;
  // Some primitive's positions (or a morph target's) are not floats: quantized files are read
  // only while positions stay floats.
  bool integerPositions = false;
  // Buffers and images named by an absolute path: ("buffer 0", "/data/x.bin").
  std::vector<std::pair<std::string, std::string>> absolutePaths;
};

inline constexpr const char* kDracoExtension = "KHR_draco_mesh_compression";
inline constexpr const char* kQuantizationExtension = "KHR_mesh_quantization";

FileDemands DemandsOfModel(const tinygltf::Model& model);
// The same from the JSON text; nothing when it is not JSON at all.
FileDemands DemandsOfText(std::string_view json);

// Whether a file requiring the extension can be read: what it adds is read (KHR_texture_transform,
// KHR_lights_punctual carried) or leaves the metallic-roughness material meaningful (most
// KHR_materials_* extensions), so the model ages and exports with it.
bool ReadsRequiredExtension(std::string_view name);

// Why the file cannot be read, naming the first demand Patinex does not meet (every required
// extension it cannot read, with the reason where one is known); empty when there is none.
std::string UnmetDemand(const FileDemands& demands);

}  // namespace RenderLib::Gltf
