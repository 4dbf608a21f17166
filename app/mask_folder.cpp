#include "app/mask_folder.h"

#include <cstdio>
#include <filesystem>

#include "platform_os/file_system.h"
#include "platform_os/media_folder.h"

std::string FindShippedMediaFolder() {
  const std::string effect = Platform::FindMediaFile("drawmesh.fx");
  if (effect.empty()) return std::string();
  return std::filesystem::path(effect).parent_path().string();
}

std::string ShippedMediaFile(const std::string& mediaFolder, const std::string& name) {
  if (mediaFolder.empty()) return std::string();
  return (std::filesystem::path(mediaFolder) / name).string();
}

std::string ChooseMaskFolder(const std::string& mediaFolder, std::string* problem) {
  if (Platform::IsWritableFolder(mediaFolder)) return mediaFolder;
  const std::string dataFolder = Platform::UserDataFolder();
  std::string reason;
  if (dataFolder.empty()) {
    reason = "no writable media folder and no HOME";
  } else {
    const std::string folder = dataFolder + "/Patinex/masks";
    std::string error;
    if (Platform::MakeWritableFolder(folder, &error)) return folder;
    reason = (mediaFolder.empty() ? std::string("no media folder") : mediaFolder + " is read-only") + ", and " + error;
  }
  std::fprintf(stderr, "patinex: masks cannot be saved: %s\n", reason.c_str());
  if (problem != nullptr) *problem = reason;
  return std::string();
}
