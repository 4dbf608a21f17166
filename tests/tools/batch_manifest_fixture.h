#pragma once

#include <nlohmann/json.hpp>

#include <map>
#include <string>

#include "tests/tools/cli_fixture.h"

// A batch of the shipped sphere twice and one file that is no model, cheap enough to run in a
// second: one step of few tons at a low density, small textures.
inline nlohmann::json SphereBatchManifest(const fs::path& folder) {
  std::ofstream(folder / "broken.glb") << "this is not a glTF file";
  const std::string sphere = std::string(PATINEX_SOURCE_DIR) + "/media/sphere.obj";
  return nlohmann::json{
      {"defaults", {{"steps", 1}, {"tons", 200}, {"density", 8}, {"size", 64}, {"threads", 1}}},
      {"assets",
       {{{"model", sphere}, {"out", "masks/a"}, {"export", "aged/a.glb"}, {"seed", 4}},
        {{"model", "broken.glb"}, {"out", "masks/broken"}, {"export", "aged/broken.glb"}},
        {{"model", sphere}, {"out", "masks/b"}, {"export", "aged/b.glb"}, {"seed", 9}, {"look", "iron"}}}},
  };
}

inline std::string WriteManifest(const fs::path& path, const nlohmann::json& manifest) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << manifest.dump(2);
  return path.string();
}

// Each file under folder with the time it was last written.
inline std::map<std::string, fs::file_time_type> WriteTimes(const fs::path& folder) {
  std::map<std::string, fs::file_time_type> times;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) times[entry.path().string()] = entry.last_write_time();
  }
  return times;
}
