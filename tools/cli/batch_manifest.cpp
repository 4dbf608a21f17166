#include "tools/cli/batch_manifest.h"

#include <filesystem>
#include <map>
#include <tuple>

#include "assetexport/aged_export.h"
#include "assetexport/look_catalog.h"
#include "platform_os/file_system.h"
#include "platform_os/ranged_number.h"
#include "simulation/emission_source.h"
#include "simulation/simulation_params.h"
#include "tools/cli/json_output.h"

namespace PatinexCli {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kMaxManifestBytes = 64ull << 20;

// The whole-number options and the ranges weather takes them in. A value outside is refused
// here rather than clamped by weather, so that a mistake in a manifest of hundreds of assets is
// found before any of them runs.
struct NumberSetting {
  const char* name;
  Platform::WholeRange range;
};
const NumberSetting kNumberSettings[] = {
    {"steps", {Simulation::kMinSteps, Simulation::kMaxSteps}},
    {"tons", {Simulation::kMinTonsPerStep, Simulation::kMaxTonsPerStep}},
    {"density", {Simulation::kMinDensity, Simulation::kMaxDensity}},
    {"seed", {0, UINT32_MAX}},
    {"size", {AssetExport::kMinBakeSize, AssetExport::kMaxBakeSize}},
    {"threads", {1, 1024}},
};

std::optional<int64_t>* NumberField(WeatherSettings& settings, const std::string& name, int64_t** steps) {
  *steps = nullptr;
  if (name == "steps") *steps = &settings.steps;
  if (name == "tons") return &settings.tons;
  if (name == "density") return &settings.density;
  if (name == "seed") return &settings.seed;
  if (name == "size") return &settings.size;
  if (name == "threads") return &settings.threads;
  return nullptr;
}

// Reads one option of weather into settings. True when key is one; false with error set when
// its value is bad, and false with error empty when key is no weather option.
bool ReadSetting(const std::string& key, const Json& value, const fs::path& folder, WeatherSettings& settings,
                 std::string* error) {
  error->clear();
  for (const NumberSetting& number : kNumberSettings) {
    if (key != number.name) continue;
    const bool whole = value.is_number_integer();
    const int64_t n = whole && value.is_number_unsigned() && value.get<uint64_t>() > uint64_t(INT64_MAX)
                          ? INT64_MAX
                          : whole ? value.get<int64_t>() : 0;
    if (!whole || n < number.range.lowest || n > number.range.highest) {
      *error = "\"" + key + "\" takes a whole number from " + Platform::RangeText(number.range) + ", not " +
               value.dump();
      return false;
    }
    int64_t* steps = nullptr;
    std::optional<int64_t>* field = NumberField(settings, key, &steps);
    if (steps != nullptr) *steps = n;
    if (field != nullptr) *field = n;
    return true;
  }
  if (key == "format") {
    if (!value.is_string() || (value.get<std::string>() != "jpg" && value.get<std::string>() != "png")) {
      *error = "\"format\" is \"jpg\" or \"png\", not " + value.dump();
      return false;
    }
    settings.format = value.get<std::string>();
    return true;
  }
  if (key == "deterministic") {
    if (!value.is_boolean()) {
      *error = "\"deterministic\" is true or false, not " + value.dump();
      return false;
    }
    settings.deterministic = value.get<bool>();
    return true;
  }
  // Checked as weather checks them, so that a bad source is refused before any asset runs.
  if (key == "from") {
    Simulation::EmissionSource source;
    std::string why;
    if (!value.is_array() || value.size() != 3 || !value[0].is_number() || !value[1].is_number() ||
        !value[2].is_number() ||
        !Simulation::MakeEmissionSource({value[0].get<float>(), value[1].get<float>(), value[2].get<float>()}, 90.0f,
                                        &source, &why)) {
      *error = "\"from\" is [x, y, z] with some part not 0, not " + value.dump();
      return false;
    }
    settings.from = RenderLib::Vector3{value[0].get<float>(), value[1].get<float>(), value[2].get<float>()};
    return true;
  }
  if (key == "spread") {
    Simulation::EmissionSource source;
    std::string why;
    if (!value.is_number() || !Simulation::MakeEmissionSource({0.0f, 1.0f, 0.0f}, value.get<float>(), &source, &why)) {
      *error = "\"spread\" is a number of degrees from 1 to 180, not " + value.dump();
      return false;
    }
    settings.spread = value.get<double>();
    return true;
  }
  if (key == "look") {
    AssetExport::Look look;
    std::string why;
    if (!value.is_string() || value.get<std::string>().empty()) {
      *error = "\"look\" is a look's name or file, not " + value.dump();
      return false;
    }
    std::string chosen = value.get<std::string>();
    // A look file is named relative to the manifest, as the models are.
    if (AssetExport::NamesLookFile(chosen)) chosen = (folder / chosen).lexically_normal().string();
    if (!AssetExport::FindLook(chosen, &look, &why)) {
      *error = "\"look\": " + why;
      return false;
    }
    settings.look = chosen;
    return true;
  }
  return false;
}

std::string KeyList() {
  std::string list = "model, out, export";
  for (const NumberSetting& number : kNumberSettings) list += std::string(", ") + number.name;
  return list + ", format, deterministic, from, spread, look";
}

// A path of the manifest made absolute against its folder.
std::string Resolve(const fs::path& folder, const std::string& path) {
  return (folder / path).lexically_normal().string();
}

bool ReadAsset(const Json& entry, size_t index, const fs::path& folder, const WeatherSettings& defaults,
               BatchAsset* asset, std::string* error) {
  std::string model = "no model";
  if (entry.is_object() && entry.contains("model") && entry["model"].is_string()) model = entry["model"];
  const std::string name = AssetName(index, model);
  if (!entry.is_object()) {
    *error = name + ": an asset is an object with \"model\", \"out\" and \"export\", not " + entry.dump();
    return false;
  }
  asset->settings = defaults;
  std::map<std::string, std::string> paths;
  for (const auto& [key, value] : entry.items()) {
    if (key == "model" || key == "out" || key == "export") {
      if (!value.is_string() || value.get<std::string>().empty()) {
        *error = name + ": \"" + key + "\" is a path, not " + value.dump();
        return false;
      }
      paths[key] = value.get<std::string>();
      continue;
    }
    std::string why;
    if (ReadSetting(key, value, folder, asset->settings, &why)) continue;
    *error = name + ": " + (why.empty() ? "unknown key \"" + key + "\" (an asset takes " + KeyList() + ")" : why);
    return false;
  }
  for (const char* key : {"model", "out", "export"}) {
    if (paths.count(key) == 0) {
      *error = name + ": \"" + key + "\" is missing";
      return false;
    }
  }
  const fs::path exportPath(paths["export"]);
  if (exportPath.extension() != ".glb" && exportPath.extension() != ".gltf") {
    *error = name + ": \"export\" is a .glb or .gltf file, not \"" + paths["export"] + "\"";
    return false;
  }
  asset->model = model;
  asset->modelPath = Resolve(folder, paths["model"]);
  asset->outFolder = Resolve(folder, paths["out"]);
  asset->exportPath = Resolve(folder, paths["export"]);
  return true;
}

}  // namespace

std::string AssetName(size_t index, const std::string& model) {
  return "asset " + std::to_string(index) + " (" + model + ")";
}

bool ReadBatchManifest(const std::string& path, BatchManifest* manifest, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!Platform::ReadRegularFile(path, bytes, kMaxManifestBytes, error)) return false;
  Json document = Json::parse(bytes.begin(), bytes.end(), nullptr, false);
  if (document.is_discarded()) {
    *error = path + " is not JSON";
    return false;
  }
  if (!document.is_object()) {
    *error = path + ": a manifest is an object with \"assets\" (and \"defaults\"), not " +
             std::string(document.type_name());
    return false;
  }
  for (const auto& [key, value] : document.items()) {
    if (key != "assets" && key != "defaults") {
      *error = path + ": unknown key \"" + key + "\" (a manifest has \"assets\" and \"defaults\")";
      return false;
    }
  }
  const fs::path absolute = fs::absolute(path).lexically_normal();
  const fs::path folder = absolute.parent_path();
  manifest->path = absolute.string();
  manifest->assets.clear();

  WeatherSettings defaults;
  if (document.contains("defaults")) {
    const Json& given = document["defaults"];
    if (!given.is_object()) {
      *error = path + ": \"defaults\" is an object of weather options, not " + given.dump();
      return false;
    }
    for (const auto& [key, value] : given.items()) {
      std::string why;
      if (ReadSetting(key, value, folder, defaults, &why)) continue;
      *error = path + ": defaults: " +
               (why.empty() ? "unknown key \"" + key + "\" (defaults take the weather options of an asset)" : why);
      return false;
    }
  }
  if (!document.contains("assets") || !document["assets"].is_array() || document["assets"].empty()) {
    *error = path + ": \"assets\" must be a list of at least one asset";
    return false;
  }
  std::map<std::string, size_t> outs;
  std::map<std::string, size_t> exports;
  for (size_t i = 0; i < document["assets"].size(); ++i) {
    BatchAsset asset;
    if (!ReadAsset(document["assets"][i], i, folder, defaults, &asset, error)) {
      *error = path + ": " + *error;
      return false;
    }
    // Two runs cannot share a folder (the second would find it locked) nor one export.
    for (const auto& [seen, value, what] : {std::tuple{&outs, &asset.outFolder, "output folder"},
                                      std::tuple{&exports, &asset.exportPath, "export"}}) {
      if (const auto earlier = seen->find(*value); earlier != seen->end()) {
        *error = path + ": " + AssetName(i, asset.model) + ": its " + what + " " + *value + " is " +
                 AssetName(earlier->second, manifest->assets[earlier->second].model) + "'s too";
        return false;
      }
      (*seen)[*value] = i;
    }
    manifest->assets.push_back(std::move(asset));
  }
  return true;
}

}  // namespace PatinexCli
