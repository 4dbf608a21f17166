#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "renderlib/vector3.h"

namespace PatinexCli {

// The weather options an asset of a batch manifest may set, under their names without dashes.
// An option left out is not passed, so weather's own default applies; steps is always passed,
// since whether an asset is finished depends on it.
struct WeatherSettings {
  int64_t steps = 1;
  std::optional<int64_t> tons;
  std::optional<int64_t> density;
  std::optional<int64_t> seed;
  std::optional<int64_t> size;
  std::optional<int64_t> threads;
  std::optional<std::string> format;  // "jpg" or "png"
  bool deterministic = false;
  std::optional<RenderLib::Vector3> from;  // [x, y, z], towards the weather's source, not 0,0,0
  std::optional<double> spread;            // degrees, as weather's --spread takes them
  std::optional<std::string> look;          // a look's name, or its file made absolute against the manifest
};

struct BatchAsset {
  std::string model;       // as the manifest names it, for people
  std::string modelPath;   // absolute
  std::string outFolder;   // absolute
  std::string exportPath;  // absolute
  WeatherSettings settings;
};

struct BatchManifest {
  std::string path;  // absolute
  std::vector<BatchAsset> assets;
};

// Reads and checks a manifest:
//   {"defaults": {"steps": 2, "tons": 20000},
//    "assets": [{"model": "props/lamp.glb", "out": "masks/lamp", "export": "aged/lamp.glb", "seed": 4}]}
// Paths are taken relative to the manifest's folder. False, with the first fault in error (the
// entry's index and model, and why), for a file that is not such a manifest: an unknown key, a
// value of the wrong kind or out of weather's range, two assets sharing an output folder or an
// export. Nothing is run before the whole manifest is read.
bool ReadBatchManifest(const std::string& path, BatchManifest* manifest, std::string* error);

// "asset 3 (props/lamp.glb)": how messages name an entry; indices count from 0, as --task does.
std::string AssetName(size_t index, const std::string& model);

}  // namespace PatinexCli
