#include "app/scene_picture.h"

#include <algorithm>
#include <cstring>

namespace {

const float kBackground[4] = {0.3f, 0.3f, 0.3f, 1.0f};

bool SameMatrix(const Platform::Matrix& a, const Platform::Matrix& b) { return std::memcmp(a.m, b.m, sizeof a.m) == 0; }

}  // namespace

bool SceneKey::operator==(const SceneKey& other) const {
  return contentVersion == other.contentVersion && width == other.width && height == other.height &&
         showSamples == other.showSamples && view == other.view && dirtFactor == other.dirtFactor &&
         rustFactor == other.rustFactor && SameMatrix(camera.world, other.camera.world) &&
         SameMatrix(camera.viewProjection, other.camera.viewProjection) && camera.eye.x == other.camera.eye.x &&
         camera.eye.y == other.camera.eye.y && camera.eye.z == other.camera.eye.z;
}

bool ScenePicture::WorthKeeping(const SceneKey& key, bool slicingPoints) {
  const bool resting = key == lastFrame;
  lastFrame = key;
  return resting || slicingPoints;
}

bool ScenePicture::Prepare(Platform::GraphicsDevice& device, const SceneKey& key) {
  if (key.width == 0 || key.height == 0) return false;
  const bool resized = target && (target->Width() != key.width || target->Height() != key.height);
  if (!target || resized) {
    target.reset();
    if (Platform::Failed(device.CreateRenderTarget(key.width, key.height, &target))) {
      target.reset();
      return false;
    }
  } else if (key == shown) {
    return true;
  }
  shown = key;
  backgroundDrawn = false;
  modelDrawn = false;
  pointsDrawn = 0;
  device.ClearRenderTargetView(target->ColorView(), kBackground);
  device.ClearDepthStencilView(target->DepthView(), 1.0f);
  return true;
}

void ScenePicture::Bind(Platform::GraphicsDevice& device) {
  device.SetRenderTargets(target->ColorView(), target->DepthView());
}

Platform::ShaderResourceView* ScenePicture::Picture() { return target ? target->ColorTexture() : nullptr; }

void ScenePicture::Release() {
  target.reset();
  shown = SceneKey();
  lastFrame = SceneKey();
}

uint32_t ScenePicture::NextSlice(uint32_t available) {
  ++frame;
  const auto now = std::chrono::steady_clock::now();
  // A slice in the frame before: the time since it began covers that whole frame, the copy and
  // the presenting included, which wait for the points to be drawn.
  if (lastSliceWasFull && lastSliceFrame + 1 == frame) {
    const double seconds = std::chrono::duration<double>(now - lastSliceTime).count();
    if (seconds > 0.0) {
      const double fitting = static_cast<double>(lastSlice) * kFrameSeconds / seconds;
      // Grown slowly and cut at once: one quick frame says less than one slow frame costs.
      slice = static_cast<uint32_t>(std::clamp(fitting, double(kSmallestSlice), 1.25 * double(slice)));
    }
  }
  sliceStart = now;
  return available > pointsDrawn ? std::min(slice, available - pointsDrawn) : 0;
}

void ScenePicture::AddPoints(uint32_t count) {
  pointsDrawn += count;
  // A slice cut short by the points there were says little about the rate.
  lastSliceWasFull = count == slice;
  lastSlice = count;
  lastSliceFrame = frame;
  lastSliceTime = sliceStart;
}
