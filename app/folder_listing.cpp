#include "app/folder_listing.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() > suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

bool IsModelFileName(const std::string& name) {
  const std::string lowered = Lowered(name);
  return EndsWith(lowered, ".obj") || EndsWith(lowered, ".gltf") || EndsWith(lowered, ".glb");
}

bool ListModelFolder(const std::string& folder, std::vector<FolderEntry>* entries, std::string* why) {
  entries->clear();
  std::error_code error;
  fs::directory_iterator it(folder, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name.front() == '.') continue;
    // Follows links: a link to a folder is entered like one. An entry that cannot be looked at
    // (a dangling link) is not offered.
    std::error_code statusError;
    const fs::file_status status = fs::status(it->path(), statusError);
    if (statusError) continue;
    if (fs::is_directory(status)) {
      entries->push_back({name, true});
    } else if (fs::is_regular_file(status) && IsModelFileName(name)) {
      entries->push_back({name, false});
    }
  }
  if (error) {
    entries->clear();
    if (why) *why = "cannot read the folder " + folder + ": " + error.message();
    return false;
  }
  std::sort(entries->begin(), entries->end(), [](const FolderEntry& a, const FolderEntry& b) {
    if (a.isFolder != b.isFolder) return a.isFolder;
    const std::string left = Lowered(a.name), right = Lowered(b.name);
    return left != right ? left < right : a.name < b.name;
  });
  return true;
}
