#pragma once

#include <memory>
#include <string>

#include "platform/effect.h"
#include "platform/graphics_device.h"
#include "viewer/environment_light.h"
#include "viewer/scene_placement.h"

namespace Viewer {

// Draws an environment behind everything (media/environment_background.fx): drawn first into a
// frame, it fills the whole target with what the camera sees of the environment, writing no
// depth. Until its effect loads it draws nothing.
class EnvironmentBackground {
public:
  // A failed load says why in problems.
  Platform::Result Load(Platform::GraphicsDevice& device, const std::string& mediaFolder, std::string* problems);
  void Release();

  void Draw(const EnvironmentLight& light, const CameraMatrices& camera);

private:
  Platform::GraphicsDevice* device = nullptr;
  std::unique_ptr<Platform::Effect> effect;
};

}  // namespace Viewer
