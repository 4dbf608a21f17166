#pragma once

#include <memory>

#include "platform/graphics_device.h"
#include "simulation/emission_source.h"
#include "viewer/scene_effects.h"
#include "viewer/scene_placement.h"

// The direction the next run's weather comes from, drawn over the scene as a dotted line of
// points on the line from the model's centre towards the source, brighter at the source's end. It is drawn with the sample points' effect, so it needs no shader of its own. Window
// thread.
class SourceArrow {
public:
  static constexpr uint32_t kPoints = 96;
  // Where the line starts and ends, in the model's bounding radius from its centre.
  static constexpr float kNearEnd = 0.3f;
  static constexpr float kFarEnd = 1.3f;

  // Draws the line for the source about the model's bounds, rewriting its points only when
  // either changed since the last frame.
  void Draw(Platform::GraphicsDevice& device, Viewer::PointEffect& effect, const Viewer::CameraMatrices& camera,
            const Viewer::ModelBounds& bounds, const Simulation::EmissionSource& source);
  // The device goes: the points' buffer with it.
  void ReleaseDevice() {
    buffer.reset();
    failed = false;
  }

private:
  std::unique_ptr<Platform::Buffer> buffer;
  RenderLib::Vector3 drawnTowards{0.0f, 0.0f, 0.0f};
  RenderLib::Vector3 drawnNormal{0.0f, 0.0f, 0.0f};
  Viewer::ModelBounds drawnBounds;
  bool failed = false;  // said once a device
};
