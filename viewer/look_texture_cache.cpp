#include "viewer/look_texture_cache.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "shipped_media/shipped_files.h"

namespace Viewer {
namespace {

std::string LookTexturePath(const std::string& mediaFolder, const std::string& name) {
  std::error_code code;
  if (std::filesystem::is_regular_file(name, code)) return name;
  for (const std::string& path : {ShippedMedia::ShippedFileIn(mediaFolder, name),
                                  ShippedMedia::ShippedFileIn(mediaFolder, "looks/" + name)}) {
    if (!path.empty() && std::filesystem::is_regular_file(path, code)) return path;
  }
  return std::string();
}

}  // namespace

Platform::ShaderResourceView* LookTextureCache::Get(Platform::GraphicsDevice& device, const std::string& mediaFolder,
                                                    const std::string& name, std::string* problems) {
  const std::string path = LookTexturePath(mediaFolder, name);
  if (path.empty()) {
    *problems += "the look's texture " + name + " was not found (neither as a file nor in " +
                 (mediaFolder.empty() ? std::string("a media folder") : mediaFolder + " or its looks folder") + ")\n";
    return nullptr;
  }
  if (const auto found = loaded.find(path); found != loaded.end()) return found->second.get();
  std::unique_ptr<Platform::ShaderResourceView> view;
  if (Platform::Failed(device.CreateTextureFromFile(path, &view)) || view == nullptr) {
    // Not kept: the file may be mended before the look is chosen again.
    *problems += path + " did not load\n";
    return nullptr;
  }
  return (loaded[path] = std::move(view)).get();
}

}  // namespace Viewer
