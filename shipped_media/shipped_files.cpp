#include "shipped_media/shipped_files.h"

#include <filesystem>

#include "platform_os/media_folder.h"

namespace ShippedMedia {

std::string FindShippedFile(const char* name) { return Platform::FindMediaFile(name); }

std::string FindShippedFolder() {
  const std::string effect = FindShippedFile(kMeshEffect);
  if (effect.empty()) return std::string();
  return std::filesystem::path(effect).parent_path().string();
}

std::string ShippedFileIn(const std::string& folder, const std::string& name) {
  if (folder.empty()) return std::string();
  return (std::filesystem::path(folder) / name).string();
}

}  // namespace ShippedMedia
