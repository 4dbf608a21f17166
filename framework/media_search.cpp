#include "framework/media_search.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/media_folder.h"

namespace {

namespace fs = std::filesystem;

class MediaSearch {
public:
  MediaSearch(const std::string& currentFolder, const std::string& programPath) : currentFolder(currentFolder) {
    if (!programPath.empty()) {
      const fs::path program(programPath);
      programFolder = program.parent_path().string();
      programName = program.filename().string();
      const size_t dot = programName.rfind('.');
      if (dot != std::string::npos && dot > 0) programName.resize(dot);
    }
  }

  bool InTypicalFolders(const std::string& name, std::string* found) const {
    if (Try(name, found) || Try("../" + name, found) || Try("../../" + name, found)) return true;
    if (programFolder.empty()) return false;
    const std::string& folder = programFolder;
    return Try(folder + "/" + name, found) || Try(folder + "/../" + name, found) ||
           Try(folder + "/../../" + name, found) || Try(folder + "/../" + programName + "/" + name, found) ||
           Try(folder + "/../../" + programName + "/" + name, found);
  }

  bool InParentFolders(const std::string& name, std::string* found) const {
    std::error_code error;
    const fs::path start = currentFolder.empty() ? fs::current_path(error) : fs::absolute(currentFolder, error);
    if (!error && UpFrom(start, name, found)) return true;
    return !programFolder.empty() && UpFrom(fs::path(programFolder), name, found);
  }

private:
  // Relative candidates are looked up from the current folder given.
  bool Try(const std::string& candidate, std::string* found) const {
    fs::path where(candidate);
    if (where.is_relative() && !currentFolder.empty()) where = fs::path(currentFolder) / where;
    std::error_code error;
    if (!fs::exists(where, error)) return false;
    *found = candidate;
    return true;
  }

  bool UpFrom(fs::path folder, const std::string& name, std::string* found) const {
    folder = folder.lexically_normal();
    if (!folder.has_filename() && folder != folder.root_path()) folder = folder.parent_path();  // "/a/b/" -> "/a/b"
    for (;;) {
      if (Try((folder / name).string(), found)) return true;
      fs::path parent = folder.parent_path();
      if (parent == folder || parent.empty()) return false;
      folder = std::move(parent);
    }
  }

  std::string currentFolder;
  std::string programFolder;
  std::string programName;
};

}  // namespace

Platform::Result FindMediaFileFrom(const std::string& name, const std::string& currentFolder,
                                   const std::string& programPath, std::string* path) {
  if (name.empty() || !path) return Platform::kInvalidArgument;
  std::string portable = name;
  for (char& c : portable) {
    if (c == '\\') c = '/';
  }
  const MediaSearch search(currentFolder, programPath);
  std::string found;
  if (fs::path(portable).is_absolute()) {
    // Nothing to search for: the name says where the file is.
    std::error_code error;
    if (fs::exists(portable, error)) {
      *path = portable;
      return Platform::kOk;
    }
  } else {
    const std::string inMedia = "media/" + portable;
    if (search.InTypicalFolders(portable, &found) || search.InTypicalFolders(inMedia, &found) ||
        search.InParentFolders(portable, &found) || search.InParentFolders(inMedia, &found)) {
      *path = found;
      return Platform::kOk;
    }
  }
  *path = name;
  return kFrameworkMediaNotFound;
}

Platform::Result FrameworkFindMediaFile(char* destination, int destinationChars, const char* name) {
  if (!name || name[0] == '\0' || !destination || destinationChars < 10) return Platform::kInvalidArgument;
  std::string path;
  const Platform::Result result = FindMediaFileFrom(name, std::string(), Platform::RunningProgramPath(), &path);
  if (path.size() + 1 > static_cast<size_t>(destinationChars)) {
    destination[0] = '\0';
    return kFrameworkBufferTooSmall;
  }
  std::memcpy(destination, path.c_str(), path.size() + 1);
  return result;
}
