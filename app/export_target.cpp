#include "app/export_target.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool EndsWith(const std::string& text, const std::string& ending) {
  return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

}  // namespace

ExportTarget ResolveExportTarget(const std::string& name, const std::string& folder, const std::string& home) {
  ExportTarget target;
  target.name = Trimmed(name);
  if (target.name.empty()) {
    target.problem = "Name the file to write.";
    return target;
  }
  if (target.name.find('/') != std::string::npos) {
    target.problem = "The file name holds a '/': put the folders under Folder.";
    return target;
  }
  const std::string extension = fs::path(target.name).extension().string();
  if (extension.empty()) {
    target.name += ".glb";
  } else if (extension != ".glb" && extension != ".gltf") {
    target.problem = "The file name must end in .glb or .gltf.";
    return target;
  }
  std::string where = Trimmed(folder);
  if (!home.empty() && (where == "~" || where.compare(0, 2, "~/") == 0)) where = home + where.substr(1);
  if (where.empty() || where.front() != '/') {
    target.problem = where.empty() ? "Choose the folder to write into." : "Give the folder from / or ~.";
    return target;
  }
  std::error_code error;
  if (!fs::is_directory(where, error)) {
    target.problem = "There is no folder " + where + ".";
    return target;
  }
  target.path = (fs::path(where) / target.name).string();
  return target;
}

std::vector<std::string> ExistingExportFiles(const std::string& path) {
  const fs::path out(path);
  std::vector<fs::path> files = {out};
  if (out.extension() == ".gltf") {
    // The glTF writer's names for the files beside a .gltf; masks keep their own format.
    const std::string stem = out.stem().string();
    files.push_back(out.parent_path() / (stem + ".bin"));
    for (const char* image : {"_baseColor.png", "_metallicRoughness.png", "_normal.png", "_mask_humidity.jpg",
                              "_mask_dirt.jpg", "_mask_rust.jpg", "_mask_humidity.png", "_mask_dirt.png",
                              "_mask_rust.png"}) {
      files.push_back(out.parent_path() / (stem + image));
    }
  }
  std::vector<std::string> existing;
  for (const fs::path& file : files) {
    std::error_code error;
    if (fs::exists(fs::symlink_status(file, error))) existing.push_back(file.string());
  }
  return existing;
}

std::string SuggestedExportName(const std::string& modelPath, const std::string& currentName) {
  const std::string extension = EndsWith(Trimmed(currentName), ".gltf") ? ".gltf" : ".glb";
  return fs::path(modelPath).stem().string() + "_aged" + extension;
}
