#include "app/typed_path.h"

#include <filesystem>

#include "app/folder_listing.h"

namespace fs = std::filesystem;

namespace {

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

TypedPath ResolveTypedPath(const std::string& text, const std::string& currentFolder, const std::string& home) {
  TypedPath typed;
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return typed;
  std::string path = text.substr(first, text.find_last_not_of(" \t") - first + 1);
  if (path == "~" || path.compare(0, 2, "~/") == 0) path = home + path.substr(1);
  fs::path absolute = fs::path(path).is_absolute() ? fs::path(path) : fs::path(currentFolder) / path;
  typed.path = WithoutTrailingSlash(absolute.lexically_normal().string());
  std::error_code error;
  const fs::file_status status = fs::status(typed.path, error);
  if (error || !fs::exists(status)) {
    typed.kind = TypedPathKind::Missing;
  } else if (fs::is_directory(status)) {
    typed.kind = TypedPathKind::Folder;
  } else {
    typed.kind = IsModelFileName(typed.path) ? TypedPathKind::ModelFile : TypedPathKind::OtherFile;
  }
  return typed;
}

std::string ParentFolder(const std::string& folder) {
  const fs::path path(WithoutTrailingSlash(folder));
  return path.has_relative_path() ? WithoutTrailingSlash(path.parent_path().string()) : path.string();
}
