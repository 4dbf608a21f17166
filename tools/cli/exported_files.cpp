#include "tools/cli/exported_files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "tools/cli/output_path.h"

namespace PatinexCli {
namespace {

// A relative URI as a file name: %XX escapes decoded (a material name with a space).
std::string DecodedUri(const std::string& uri) {
  std::string name;
  for (size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() && std::isxdigit(static_cast<unsigned char>(uri[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 2]))) {
      name += static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      name += uri[i];
    }
  }
  return name;
}

}  // namespace

std::vector<std::string> ExportedFiles(const std::string& out) {
  std::vector<std::string> files{AbsolutePath(out)};
  if (std::filesystem::path(out).extension() != ".gltf") return files;
  std::ifstream stream(out);
  const nlohmann::json document = nlohmann::json::parse(stream, nullptr, false);
  if (!document.is_object()) return files;
  const std::filesystem::path folder = std::filesystem::path(out).parent_path();
  for (const char* list : {"buffers", "images"}) {
    if (!document.contains(list) || !document[list].is_array()) continue;
    for (const nlohmann::json& item : document[list]) {
      if (!item.contains("uri") || !item["uri"].is_string()) continue;
      const std::string uri = item["uri"].get<std::string>();
      if (uri.rfind("data:", 0) == 0) continue;
      const std::string file = AbsolutePath((folder / DecodedUri(uri)).string());
      if (std::find(files.begin(), files.end(), file) == files.end()) files.push_back(file);
    }
  }
  return files;
}

}  // namespace PatinexCli
