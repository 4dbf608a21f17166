#include "app/mask_folder.h"

#include <cstdio>

#include "platform_os/file_system.h"
#include "shipped_media/shipped_files.h"

std::string FindShippedMediaFolder() { return ShippedMedia::FindShippedFolder(); }

std::string ShippedMediaFile(const std::string& mediaFolder, const std::string& name) {
  return ShippedMedia::ShippedFileIn(mediaFolder, name);
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
