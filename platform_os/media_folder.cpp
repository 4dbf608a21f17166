#include "platform_os/media_folder.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace Platform {
namespace {

namespace fs = std::filesystem;

// Where an install puts the media, relative to its prefix.
constexpr const char* kInstalledMedia = "share/patinex/media/";

class MediaSearch {
public:
  MediaSearch(const std::string& currentFolder, const std::string& programPath) : currentFolder(currentFolder) {
    if (programPath.empty()) return;
    const fs::path program = fs::path(programPath).lexically_normal();
    programFolder = program.parent_path();
    programName = program.stem().string();
  }

  bool InTypicalFolders(const std::string& name, std::string* found) const {
    if (Try(name, found) || Try("../" + name, found) || Try("../../" + name, found)) return true;
    if (programFolder.empty()) return false;
    const fs::path& folder = programFolder;
    return Try(folder / name, found) || Try(folder / ".." / name, found) || Try(folder / "../.." / name, found) ||
           Try(folder / ".." / programName / name, found) || Try(folder / "../.." / programName / name, found);
  }

  bool InFoldersAbove(const std::string& name, std::string* found) const {
    std::error_code error;
    const fs::path start = currentFolder.empty() ? fs::current_path(error) : fs::absolute(currentFolder, error);
    if (!error && UpFrom(start, name, found)) return true;
    return !programFolder.empty() && UpFrom(programFolder, name, found);
  }

  // Relative candidates are looked for from the current folder given.
  bool Try(const fs::path& candidate, std::string* found) const {
    fs::path where = candidate;
    if (where.is_relative() && !currentFolder.empty()) where = fs::path(currentFolder) / where;
    std::error_code error;
    if (!fs::is_regular_file(where, error)) return false;
    *found = candidate.lexically_normal().string();
    return true;
  }

private:
  bool UpFrom(fs::path folder, const std::string& name, std::string* found) const {
    folder = folder.lexically_normal();
    if (!folder.has_filename() && folder != folder.root_path()) folder = folder.parent_path();  // "/a/b/" -> "/a/b"
    for (;;) {
      if (Try(folder / name, found)) return true;
      fs::path parent = folder.parent_path();
      if (parent == folder || parent.empty()) return false;
      folder = std::move(parent);
    }
  }

  std::string currentFolder;
  fs::path programFolder;
  std::string programName;
};

}  // namespace

std::string RunningProgramPath() {
  std::error_code error;
  fs::path program = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string() : program.string();
}

std::string FindMediaFile(const std::string& name, const std::string& currentFolder, const std::string& programPath) {
  if (name.empty()) return {};
  const MediaSearch search(currentFolder, programPath);
  std::string found;
  if (fs::path(name).is_absolute()) return search.Try(name, &found) ? found : std::string();
  const std::string names[] = {name, "media/" + name, kInstalledMedia + name};
  for (const std::string& candidate : names) {
    if (search.InTypicalFolders(candidate, &found)) return found;
  }
  for (const std::string& candidate : names) {
    if (search.InFoldersAbove(candidate, &found)) return found;
  }
  return {};
}

std::string FindMediaFile(const std::string& name) { return FindMediaFile(name, std::string(), RunningProgramPath()); }

}  // namespace Platform
