#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/gpu_resources.h"
#include "platform/graphics_device.h"

namespace Viewer {

// The textures of looks on the device, one a file however many looks name it, so that switching
// looks back and forth loads each file once. Kept until Release (with the device they live on).
class LookTextureCache {
public:
  // The texture a look names: a file (as the look's reader resolved it), else a shipped file of
  // that name in mediaFolder or in its looks/ folder beside the shipped looks. Null when none is
  // found or it does not load, with the name and why in problems.
  Platform::ShaderResourceView* Get(Platform::GraphicsDevice& device, const std::string& mediaFolder,
                                    const std::string& name, std::string* problems);
  void Release() { loaded.clear(); }
  size_t Count() const { return loaded.size(); }

private:
  std::map<std::string, std::unique_ptr<Platform::ShaderResourceView>> loaded;  // by path
};

}  // namespace Viewer
