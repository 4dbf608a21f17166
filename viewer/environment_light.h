#pragma once

#include <memory>
#include <string>

#include "platform/effect.h"
#include "platform/gpu_resources.h"
#include "platform/graphics_device.h"
#include "threadinglib/thread_pool.h"
#include "viewer/environment_preparation.h"

namespace Viewer {

// One HDR environment on the device, prepared for image-based lighting: its prefiltered
// specular map, its diffuse harmonics, the split-sum table and its punctual main light, set on
// effects that take in media/environment_light.glsl.
class EnvironmentLight {
public:
  EnvironmentLight() = default;
  EnvironmentLight(const EnvironmentLight&) = delete;
  EnvironmentLight& operator=(const EnvironmentLight&) = delete;

  // Reads and prepares the .hdr file at path and uploads it, replacing the environment held.
  // On failure the previous one stays and problems says why.
  Platform::Result Load(Platform::GraphicsDevice& device, const std::string& path, std::string* problems);
  // Uploads an environment prepared elsewhere.
  Platform::Result Upload(const PreparedEnvironment& prepared, std::string* problems);
  void Release();
  bool IsLoaded() const { return specular != nullptr; }

  // Every uniform of environment_light.glsl the effect declares.
  void SetOn(Platform::Effect& effect) const;

  // Scales all the environment's light (an exposure, 1 as prepared).
  void SetIntensity(float value) { intensity = value; }
  float Intensity() const { return intensity; }
  // Turns the environment about y, radians; a positive angle takes +z towards +x.
  void SetRotation(float radians) { rotation = radians; }
  float Rotation() const { return rotation; }

  Platform::Float3 MainLightDirection() const { return mainLightDirection; }
  Platform::Float3 MainLightColor() const { return mainLightColor; }

private:
  Platform::Result EnsureBrdfTable(std::string* problems);

  ThreadingLib::ThreadPool pool;
  std::unique_ptr<Platform::ShaderResourceView> specular;
  std::unique_ptr<Platform::ShaderResourceView> brdf;
  uint32_t specularLevels = 0;
  float diffuse[9][3] = {};
  Platform::Float3 mainLightDirection{0.0f, 1.0f, 0.0f};
  Platform::Float3 mainLightColor{};
  float intensity = 1.0f;
  float rotation = 0.0f;
};

}  // namespace Viewer
