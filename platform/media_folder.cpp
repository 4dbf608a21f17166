#include "platform/media_folder.h"

#include <filesystem>
#include <system_error>

namespace Platform {
namespace {

namespace fs = std::filesystem;

bool IsRegularFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

}  // namespace

std::string RunningProgramPath() {
  std::error_code error;
  fs::path program = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string() : program.string();
}

std::string FindMediaFile(const std::string& name, const std::string& currentFolder, const std::string& programPath) {
  if (name.empty()) return {};
  const fs::path relative = fs::path("media") / name;

  // The current folder's media/ keeps the short relative path the user would type.
  if (currentFolder.empty()) {
    if (IsRegularFile(relative)) return relative.string();
  } else if (IsRegularFile(fs::path(currentFolder) / relative)) {
    return (fs::path(currentFolder) / relative).string();
  }

  if (programPath.empty()) return {};
  // An installed program finds the media its install put in PREFIX/share/patinex/media.
  const fs::path installed = fs::path("share") / "patinex" / relative;
  fs::path folder = fs::path(programPath).lexically_normal().parent_path();
  while (!folder.empty()) {
    for (const fs::path& candidate : {folder / relative, folder / installed}) {
      if (IsRegularFile(candidate)) return candidate.string();
    }
    fs::path parent = folder.parent_path();
    if (parent == folder) break;  // reached the root
    folder = std::move(parent);
  }
  return {};
}

std::string FindMediaFile(const std::string& name) { return FindMediaFile(name, std::string(), RunningProgramPath()); }

}  // namespace Platform
