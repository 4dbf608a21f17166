#include "app/mask_folder.h"

#include <cstdio>
#include <filesystem>

#include "platform/file_system.h"
#include "platform/media_folder.h"

std::string FindShippedMediaFolder() {
  const std::string effect = Platform::FindMediaFile("drawmesh.fx");
  if (effect.empty()) return std::string();
  return std::filesystem::path(effect).parent_path().string();
}

std::string ShippedMediaFile(const std::string& mediaFolder, const std::string& name) {
  if (mediaFolder.empty()) return std::string();
  return (std::filesystem::path(mediaFolder) / name).string();
}

std::string ChooseMaskFolder(const std::string& mediaFolder) {
  if (Platform::IsWritableFolder(mediaFolder)) return mediaFolder;
  const std::string dataFolder = Platform::UserDataFolder();
  if (dataFolder.empty()) {
    std::fprintf(stderr, "patinex: no writable media folder and no HOME: masks cannot be saved\n");
    return std::string();
  }
  const std::string folder = dataFolder + "/Patinex/masks";
  std::string error;
  if (!Platform::MakeWritableFolder(folder, &error)) {
    std::fprintf(stderr, "patinex: masks cannot be saved: %s\n", error.c_str());
    return std::string();
  }
  return folder;
}
