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
}

uint32_t ScenePicture::NextSlice(uint32_t total) const { return total > pointsDrawn ? std::min(slice, total - pointsDrawn) : 0; }

void ScenePicture::SliceTook(uint32_t count, double seconds) {
  if (count < slice || seconds <= 0.0) return;  // a short last slice says little about the rate
  const double fitting = static_cast<double>(count) * kSliceSeconds / seconds;
  slice = static_cast<uint32_t>(std::clamp(fitting, double(kSmallestSlice), 4.0 * double(slice)));
}
