#include "app/mask_folder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

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

bool IsWritableFolder(const std::string& folder) {
  std::error_code error;
  if (folder.empty() || !std::filesystem::is_directory(folder, error)) return false;
  const std::filesystem::path probe = std::filesystem::path(folder) / ".patinex_write_probe";
  {
    std::ofstream file(probe);
    if (!file) return false;
  }
  std::filesystem::remove(probe, error);
  return true;
}

std::string ChooseMaskFolder(const std::string& mediaFolder) {
  if (IsWritableFolder(mediaFolder)) return mediaFolder;
  std::filesystem::path base;
  if (const char* dataHome = std::getenv("XDG_DATA_HOME"); dataHome != nullptr && dataHome[0] == '/') {
    base = dataHome;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    base = std::filesystem::path(home) / ".local" / "share";
  } else {
    std::fprintf(stderr, "patinex: no writable media folder and no HOME: masks cannot be saved\n");
    return std::string();
  }
  const std::filesystem::path folder = base / "Patinex" / "masks";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !IsWritableFolder(folder.string())) {
    std::fprintf(stderr, "patinex: cannot create the mask folder %s: %s\n", folder.c_str(),
                 error ? error.message().c_str() : "not writable");
    return std::string();
  }
  return folder.string();
}
