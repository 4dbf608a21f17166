#include "assetexport/look_file.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

namespace AssetExport {
namespace {

using Json = nlohmann::json;

// Reading stops at the first fault, which names the key (its path in the file) and the reason.
class LookReader {
public:
  LookReader(const std::string& folder, std::string* error) : folder(folder), error(error) {}

  bool Read(const Json& document, Look* look) {
    if (!document.is_object()) return Fail("", "a look is a JSON object");
    if (!Known(document, "", {"name", "description", "base", "layers"})) return false;
    if (!document.contains("name") || !document["name"].is_string() || document["name"].get<std::string>().empty()) {
      return Fail("name", "is needed, a non-empty string");
    }
    look->name = document["name"].get<std::string>();
    if (document.contains("description")) {
      if (!document["description"].is_string()) return Fail("description", "must be a string");
      look->description = document["description"].get<std::string>();
    }
    if (!document.contains("base")) return Fail("base", "is needed: \"own\" or a material object");
    const Json& base = document["base"];
    if (base.is_string()) {
      if (base.get<std::string>() != "own") return Fail("base", "the only word it takes is \"own\"");
      look->ownBase = true;
      look->base.color = {0.5f, 0.5f, 0.5f};
    } else if (!Surface(base, "base", true, &look->base)) {
      return false;
    }
    if (!document.contains("layers") || !document["layers"].is_array()) return Fail("layers", "is needed, an array");
    const Json& layers = document["layers"];
    if (layers.size() > kMaxLookLayers) {
      return Fail("layers", "holds " + std::to_string(layers.size()) + " layers, at most " +
                                std::to_string(kMaxLookLayers) + " are drawn");
    }
    look->layers.clear();
    for (size_t i = 0; i < layers.size(); ++i) {
      LookLayer layer;
      if (!Layer(layers[i], "layers[" + std::to_string(i) + "]", &layer)) return false;
      look->layers.push_back(layer);
    }
    return true;
  }

private:
  bool Fail(const std::string& key, const std::string& why) {
    *error = key.empty() ? why : key + ": " + why;
    return false;
  }

  bool Known(const Json& object, const std::string& at, std::initializer_list<const char*> keys) {
    for (const auto& [key, value] : object.items()) {
      bool known = false;
      for (const char* name : keys) known = known || key == name;
      if (!known) return Fail(at.empty() ? key : at + "." + key, "is not a key a look knows");
    }
    return true;
  }

  bool Number(const Json& object, const std::string& at, const char* key, float low, float high, float* out) {
    if (!object.contains(key)) return true;
    const Json& value = object[key];
    const std::string where = at + "." + key;
    if (!value.is_number()) return Fail(where, "must be a number");
    const double number = value.get<double>();
    if (!std::isfinite(number) || number < low || number > high) {
      return Fail(where, "is " + value.dump() + ", outside " + Range(low, high));
    }
    *out = float(number);
    return true;
  }

  static std::string Range(float low, float high) {
    std::ostringstream text;
    text << low << ".." << high;
    return text.str();
  }

  bool Texture(const Json& object, const std::string& at, const char* key, std::string* out) {
    if (!object.contains(key)) return true;
    const Json& value = object[key];
    if (!value.is_string() || value.get<std::string>().empty()) return Fail(at + "." + key, "must be a file name");
    const std::filesystem::path name = value.get<std::string>();
    std::error_code code;
    const std::filesystem::path beside = name.is_absolute() ? name : std::filesystem::path(folder) / name;
    *out = !folder.empty() && std::filesystem::is_regular_file(beside, code) ? beside.string() : name.string();
    if (name.is_absolute() && !std::filesystem::is_regular_file(name, code)) {
      return Fail(at + "." + key, "the file " + name.string() + " does not exist");
    }
    return true;
  }

  // A colour is a multiplier of its texture where it has one, so it may brighten one.
  bool Surface(const Json& object, const std::string& at, bool base, LookSurface* surface) {
    if (!object.is_object()) return Fail(at, base ? "must be \"own\" or an object" : "must be an object");
    if (base && !Known(object, at, {"color", "texture", "normal_texture", "normal_strength", "metallic", "roughness"})) {
      return false;
    }
    if (!Texture(object, at, "texture", &surface->texture) ||
        !Texture(object, at, "normal_texture", &surface->normalTexture)) {
      return false;
    }
    if (object.contains("color")) {
      const Json& color = object["color"];
      const float high = surface->texture.empty() ? 1.0f : 4.0f;
      if (!color.is_array() || color.size() != 3) return Fail(at + ".color", "must be [red, green, blue]");
      for (size_t c = 0; c < 3; ++c) {
        if (!color[c].is_number() || !(color[c].get<double>() >= 0.0 && color[c].get<double>() <= high)) {
          return Fail(at + ".color", std::string("each of red, green, blue must be a number from 0 to ") +
                                         (surface->texture.empty() ? "1 (up to 4 with a texture)" : "4"));
        }
        surface->color[c] = color[c].get<float>();
      }
    } else if (surface->texture.empty() && !base) {
      return Fail(at, "needs a color or a texture");
    }
    return Number(object, at, "metallic", 0.0f, 1.0f, &surface->metallic) &&
           Number(object, at, "roughness", 0.0f, 1.0f, &surface->roughness) &&
           Number(object, at, "normal_strength", 0.0f, 4.0f, &surface->normalStrength);
  }

  bool Layer(const Json& object, const std::string& at, LookLayer* layer) {
    if (!object.is_object()) return Fail(at, "must be an object");
    if (!Known(object, at,
               {"mask", "blend", "ramp", "color", "texture", "normal_texture", "normal_strength", "metallic",
                "roughness"})) {
      return false;
    }
    const std::string mask = object.contains("mask") && object["mask"].is_string() ? object["mask"].get<std::string>() : "";
    if (mask == "rust") {
      layer->mask = LookMask::kRust;
    } else if (mask == "dirt") {
      layer->mask = LookMask::kDirt;
    } else if (mask == "humidity") {
      layer->mask = LookMask::kHumidity;
    } else {
      return Fail(at + ".mask", "is needed, one of \"rust\", \"dirt\", \"humidity\"");
    }
    if (object.contains("blend")) {
      const std::string blend = object["blend"].is_string() ? object["blend"].get<std::string>() : "";
      if (blend == "cover") {
        layer->blend = LookBlend::kCover;
      } else if (blend == "multiply") {
        layer->blend = LookBlend::kMultiply;
        // A film keeps the metal and roughness under it unless it says otherwise.
        layer->surface.metallic = 1.0f;
        layer->surface.roughness = 0.0f;
      } else {
        return Fail(at + ".blend", "must be \"cover\" or \"multiply\"");
      }
    }
    if (object.contains("ramp")) {
      const Json& ramp = object["ramp"];
      const std::string where = at + ".ramp";
      if (!ramp.is_object()) return Fail(where, "must be an object of gain, start and end");
      if (!Known(ramp, where, {"gain", "start", "end"}) || !Number(ramp, where, "gain", 0.0f, 50.0f, &layer->gain) ||
          !Number(ramp, where, "start", 0.0f, 1.0f, &layer->start) ||
          !Number(ramp, where, "end", 0.0f, 1.0f, &layer->end)) {
        return false;
      }
      if (!(layer->end > layer->start)) return Fail(where, "end must be above start");
    }
    return Surface(object, at, false, &layer->surface);
  }

  const std::string folder;
  std::string* error;
};

}  // namespace

bool ParseLook(const std::string& text, const std::string& folder, Look* look, std::string* error) {
  const Json document = Json::parse(text, nullptr, false);
  if (document.is_discarded()) {
    *error = "not JSON";
    return false;
  }
  Look read;
  LookReader reader(folder, error);
  if (!reader.Read(document, &read)) return false;
  *look = std::move(read);
  return true;
}

bool ReadLookFile(const std::string& path, Look* look, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot read the look file " + path;
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  std::string why;
  if (!ParseLook(text.str(), std::filesystem::path(path).parent_path().string(), look, &why)) {
    *error = "the look file " + path + " is not a valid look: " + why;
    return false;
  }
  return true;
}

}  // namespace AssetExport
