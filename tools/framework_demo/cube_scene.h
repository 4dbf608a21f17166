#pragma once

#include <memory>

#include "platform/effect.h"
#include "platform/graphics_device.h"
#include "platform/matrix_math.h"

// The demo's scene: a cube with a colour per face, lit by one light, drawn through the effect
// media/framework_demo.fx. Its GPU objects live from Create to Destroy (device created and
// destroyed).
class CubeScene {
public:
  // kFrameworkMediaNotFound when the effect file is nowhere to be found.
  Platform::Result Create(Platform::GraphicsDevice* device);
  void Destroy();
  void Render(Platform::GraphicsDevice* device, const Platform::Matrix& world, const Platform::Matrix& view,
              const Platform::Matrix& projection, float time);

private:
  std::unique_ptr<Platform::Effect> effect;
  std::unique_ptr<Platform::Buffer> vertices;
  std::unique_ptr<Platform::Buffer> indices;
  std::unique_ptr<Platform::InputLayout> layout;
};
