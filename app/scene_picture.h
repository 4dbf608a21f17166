#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "platform/graphics_device.h"
#include "viewer/scene_placement.h"

// What the scene shows: when none of it changes, neither does the scene's picture.
struct SceneKey {
  // Bumped by whatever changes the model, the points' contents, the masks or the effects.
  uint64_t contentVersion = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  int32_t showSamples = 0;
  int32_t view = 0;
  float dirtFactor = 0.0f;
  float rustFactor = 0.0f;
  Viewer::CameraMatrices camera;

  bool operator==(const SceneKey& other) const;
};

// The scene drawn into a picture of the back buffer's size and kept while its key stays the
// same, so that a frame that changes only the panels (progress, a fade, the caret) copies the
// picture instead of drawing the scene again. Sample points go into it a slice per frame, in the
// order of the sample map, whose every beginning is spread over the whole surface: a view with
// millions of points fills in over a few frames instead of holding the window thread for one
// long frame. A slice is sized from the frames before it (from one slice to the next, the
// frame's whole time) so that a frame takes about kFrameSeconds.
class ScenePicture {
public:
  static constexpr double kFrameSeconds = 0.02;
  static constexpr uint32_t kFirstSlice = 30000;
  static constexpr uint32_t kSmallestSlice = 10000;

  // Whether the scene of this key is to be drawn into the picture: only once it rests (the key
  // is the one of the frame before), or while points go in a slice a frame, which only the
  // picture keeps. While the model is turned, a picture drawn and copied every frame costs more
  // than drawing straight to the back buffer; the first frame at rest then fills the picture.
  bool WorthKeeping(const SceneKey& key, bool slicingPoints);
  // Readies the picture for the key: made at the back buffer's size when there is none, and
  // started over (cleared to the background grey, nothing drawn) when the key changed. False
  // when no picture can be made; the scene is then drawn straight to the back buffer.
  bool Prepare(Platform::GraphicsDevice& device, const SceneKey& key);
  // The picture as the target to draw into, with its own depth buffer.
  void Bind(Platform::GraphicsDevice& device);
  Platform::ShaderResourceView* Picture();
  void Release();

  bool BackgroundDrawn() const { return backgroundDrawn; }
  void SetBackgroundDrawn() { backgroundDrawn = true; }
  bool ModelDrawn() const { return modelDrawn; }
  void SetModelDrawn() { modelDrawn = true; }
  uint32_t PointsDrawn() const { return pointsDrawn; }
  // How many of the first `available` points the slice of this frame draws; sized by the time
  // since the last slice when that was drawn by the frame before.
  uint32_t NextSlice(uint32_t available);
  void AddPoints(uint32_t count);

private:
  std::unique_ptr<Platform::RenderTarget> target;
  SceneKey shown;
  SceneKey lastFrame;
  bool backgroundDrawn = false;
  bool modelDrawn = false;
  uint32_t pointsDrawn = 0;
  uint32_t slice = kFirstSlice;
  // The last slice: when it was drawn, its size, and the frame it was drawn in.
  std::chrono::steady_clock::time_point lastSliceTime;
  uint32_t lastSlice = 0;
  bool lastSliceWasFull = false;
  uint64_t lastSliceFrame = 0;
  uint64_t frame = 0;
  std::chrono::steady_clock::time_point sliceStart;
};
