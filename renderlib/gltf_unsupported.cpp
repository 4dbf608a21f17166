#include "renderlib/gltf_unsupported.h"

#include "renderlib/gltf_constants.h"

#include <nlohmann/json.hpp>
#include <tiny_gltf.h>

#include <algorithm>

namespace RenderLib::Gltf {
namespace {

// Files are named relative to the model or embedded: a path from the root would make the model
// work only on the machine that wrote it, and would let a model from elsewhere pull any file of
// this machine into its buffers, and from there into an exported asset.
bool IsAbsolutePath(const std::string& uri) { return uri.rfind('/', 0) == 0 || uri.rfind("file:", 0) == 0; }

std::string PrimitiveName(size_t mesh, size_t primitive) {
  return "mesh " + std::to_string(mesh) + " primitive " + std::to_string(primitive);
}

void AddAbsolute(FileDemands& demands, const char* kind, size_t index, const std::string& uri) {
  if (IsAbsolutePath(uri)) demands.absolutePaths.emplace_back(kind + (" " + std::to_string(index)), uri);
}

// Extensions a file may require and still be read whole: the texture transform and lights are
// read or carried, and these material extensions add to a metallic-roughness material that
// stays meaningful without them (the base colour, metal and roughness are still the surface),
// so it can be aged and they are written back unchanged.
constexpr const char* kReadExtensions[] = {
    "KHR_texture_transform",
    "KHR_lights_punctual",
    "KHR_materials_anisotropy",
    "KHR_materials_clearcoat",
    "KHR_materials_diffuse_transmission",
    "KHR_materials_dispersion",
    "KHR_materials_emissive_strength",
    "KHR_materials_ior",
    "KHR_materials_iridescence",
    "KHR_materials_sheen",
    "KHR_materials_specular",
    "KHR_materials_transmission",
    "KHR_materials_unlit",
    "KHR_materials_volume",
};

// Why an extension that cannot be carried is refused, for those a reader is likely to meet.
struct Refusal {
  const char* extension;
  const char* reason;
};
constexpr Refusal kRefusals[] = {
    {kQuantizationExtension, "positions stored as integers instead of floats"},
    {"EXT_meshopt_compression", "compressed buffers"},
    {"KHR_texture_basisu", "KTX2 images, which Patinex cannot decode"},
    {"EXT_texture_webp", "WebP images, which Patinex cannot decode"},
    {"EXT_texture_avif", "AVIF images, which Patinex cannot decode"},
    {"KHR_materials_pbrSpecularGlossiness", "a specular-glossiness surface in place of metallic-roughness"},
    {"EXT_mesh_gpu_instancing", "meshes placed many times by per-instance attributes"},
};

}  // namespace

bool ReadsRequiredExtension(std::string_view name) {
  for (const char* read : kReadExtensions) {
    if (name == read) return true;
  }
  return false;
}

FileDemands DemandsOfModel(const tinygltf::Model& model) {
  FileDemands demands;
  demands.requiredExtensions = model.extensionsRequired;
  for (size_t m = 0; m < model.meshes.size(); ++m) {
    const std::vector<tinygltf::Primitive>& primitives = model.meshes[m].primitives;
    for (size_t p = 0; p < primitives.size(); ++p) {
      const auto isInteger = [&](int accessor) {
        return accessor >= 0 && size_t(accessor) < model.accessors.size() &&
               model.accessors[size_t(accessor)].componentType != kFloat;
      };
      const auto positions = primitives[p].attributes.find("POSITION");
      if (positions != primitives[p].attributes.end() && isInteger(positions->second)) demands.integerPositions = true;
      for (const auto& target : primitives[p].targets) {
        const auto moved = target.find("POSITION");
        if (moved != target.end() && isInteger(moved->second)) demands.integerPositions = true;
      }
      if (primitives[p].extensions.count(kDracoExtension) == 0) continue;
      const auto position = primitives[p].attributes.find("POSITION");
      const bool plain = position != primitives[p].attributes.end() && position->second >= 0 &&
                         size_t(position->second) < model.accessors.size() &&
                         model.accessors[size_t(position->second)].bufferView >= 0;
      if (!plain) demands.dracoPrimitives.push_back(PrimitiveName(m, p));
    }
  }
  for (size_t i = 0; i < model.buffers.size(); ++i) AddAbsolute(demands, "buffer", i, model.buffers[i].uri);
  for (size_t i = 0; i < model.images.size(); ++i) AddAbsolute(demands, "image", i, model.images[i].uri);
  return demands;
}

FileDemands DemandsOfText(std::string_view json) {
  using Json = nlohmann::json;
  FileDemands demands;
  const Json document = Json::parse(json.begin(), json.end(), nullptr, false);
  if (!document.is_object()) return demands;
  // Every member is looked at only when it has the type the format gives it.
  const auto list = [&](const Json& owner, const char* key) -> const Json& {
    static const Json kNone = Json::array();
    const auto found = owner.find(key);
    return found != owner.end() && found->is_array() ? *found : kNone;
  };
  for (const Json& name : list(document, "extensionsRequired")) {
    if (name.is_string()) demands.requiredExtensions.push_back(name.get<std::string>());
  }
  const Json& accessors = list(document, "accessors");
  const Json& meshes = list(document, "meshes");
  for (size_t m = 0; m < meshes.size(); ++m) {
    if (!meshes[m].is_object()) continue;
    const Json& primitives = list(meshes[m], "primitives");
    for (size_t p = 0; p < primitives.size(); ++p) {
      const Json& primitive = primitives[p];
      if (!primitive.is_object()) continue;
      // The accessor of the primitive's positions, when it names one that is an object.
      const Json* positions = nullptr;
      const auto attributes = primitive.find("attributes");
      if (attributes != primitive.end() && attributes->is_object()) {
        const auto position = attributes->find("POSITION");
        if (position != attributes->end() && position->is_number_unsigned() && *position < accessors.size() &&
            accessors[position->get<size_t>()].is_object()) {
          positions = &accessors[position->get<size_t>()];
        }
      }
      if (positions != nullptr) {
        const auto type = positions->find("componentType");
        if (type != positions->end() && *type != int(kFloat)) demands.integerPositions = true;
      }
      const auto extensions = primitive.find("extensions");
      if (extensions == primitive.end() || !extensions->is_object() || !extensions->contains(kDracoExtension)) continue;
      const bool plain = positions != nullptr && positions->contains("bufferView");
      if (!plain) demands.dracoPrimitives.push_back(PrimitiveName(m, p));
    }
  }
  for (const char* kind : {"buffer", "image"}) {
    const Json& entries = list(document, kind == std::string("buffer") ? "buffers" : "images");
    for (size_t i = 0; i < entries.size(); ++i) {
      if (!entries[i].is_object()) continue;
      const auto uri = entries[i].find("uri");
      if (uri != entries[i].end() && uri->is_string()) AddAbsolute(demands, kind, i, uri->get<std::string>());
    }
  }
  return demands;
}

std::string UnmetDemand(const FileDemands& demands) {
  const std::string dracoWhy = std::string(" uses ") + kDracoExtension +
                               " (Draco-compressed geometry), which Patinex does not read; save the model without "
                               "Draco compression";
  if (!demands.dracoPrimitives.empty()) return demands.dracoPrimitives.front() + dracoWhy;
  const std::vector<std::string>& required = demands.requiredExtensions;
  if (std::find(required.begin(), required.end(), kDracoExtension) != required.end()) {
    return "the file requires the extension " + std::string(kDracoExtension) + ": it" + dracoWhy;
  }
  std::string names, reasons;
  size_t refused = 0;
  for (const std::string& name : required) {
    if (ReadsRequiredExtension(name) || (name == kQuantizationExtension && !demands.integerPositions)) continue;
    ++refused;
    names += (names.empty() ? "" : ", ") + name;
    for (const Refusal& known : kRefusals) {
      if (name == known.extension) reasons.append("; ").append(name).append(": ").append(known.reason);
    }
  }
  if (refused > 0) {
    return "the file requires the extension" + std::string(refused > 1 ? "s " : " ") + names +
           ", which Patinex does not support" + reasons;
  }
  if (!demands.absolutePaths.empty()) {
    const auto& [what, path] = demands.absolutePaths.front();
    return what + " names its file by the absolute path " + path +
           ", which Patinex does not read: a model names its files relative to itself (or embeds them as data: "
           "URIs), so that it can be moved; put the file beside the model and name it so";
  }
  return {};
}

}  // namespace RenderLib::Gltf
