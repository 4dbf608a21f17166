#include "app/scene_view.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/control_ids.h"
#include "app/mask_history.h"
#include "app/media_folders.h"
#include "app/surface_samples.h"
#include "app/window_panels.h"
#include "app/work_model.h"
#include "framework/framework.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_slider.h"
#include "simulation/mask_files.h"
#include "threadinglib/scoped_critical_lock.h"
#include "viewer/scene_placement.h"

using ThreadingLib::ScopedCriticalLock;

namespace {
// The view picker's entries: the three model views, then the sample points.
constexpr int kPointsView = 3;
}  // namespace

void SceneView::LoadEffects(Platform::GraphicsDevice* device) {
  std::string problems;
  const bool meshLoaded = Platform::Succeeded(meshEffect.Load(*device, folders.media, &problems));
  const bool pointsLoaded = Platform::Succeeded(pointEffect.Load(*device, folders.media, &problems));
  if (!meshLoaded || !pointsLoaded) std::fprintf(stderr, "patinex: nothing is drawn with an effect that failed:\n%s", problems.c_str());
  MarkChanged();
}

void SceneView::ReleaseResources() {
  scenePicture.Release();
  meshEffect.Release();
  pointEffect.Release();
  ReleaseMaskViews();
  MarkChanged();
}

void SceneView::FitCameraToBackBuffer(uint32_t width, uint32_t height) {
  const Viewer::Projection projection =
      Viewer::ProjectionFor(Platform::Vec3Length(camera.GetEyePt() - camera.GetLookAtPt()), width, height);
  camera.SetProjection(projection.fieldOfView, projection.aspect, projection.nearPlane, projection.farPlane);
  camera.SetWindow(int(width), int(height), 0.9f);
}

void SceneView::FrameLoadedModel() {
  if (!model.Soup()) return;
  const Viewer::ModelBounds bounds = Viewer::BoundsOfBox(model.Soup()->GetBoundingBox());
  const Viewer::CameraPlacement start = Viewer::StartingCamera(bounds);
  camera.SetView(&start.eye, &start.lookAt);
  camera.SetModelCenter(start.lookAt);
  camera.SetModelRadius(bounds.radius);
  const Platform::SurfaceDescription backBuffer = FrameworkGetBackBufferDescription();
  FitCameraToBackBuffer(backBuffer.width, backBuffer.height);
  meshEffect.PlaceLights(bounds);
  MarkChanged();
}

float SceneView::StrengthFactor(int sliderId) const {
  const CUISlider* slider = panels.SimulationPanel().GetSlider(sliderId);
  return slider ? float(slider->GetValue()) * 0.01f : 0.0f;
}

void SceneView::ReleaseMaskViews() {
  rustMaskView.reset();
  dirtMaskView.reset();
  MarkChanged();
}

void SceneView::LoadMaskViews(int32_t step) {
  ReleaseMaskViews();
  Platform::GraphicsDevice* device = FrameworkGetDevice();
  if (device == nullptr || step < 0 || step >= history.Steps() || folders.masks.empty()) return;
  device->CreateTextureFromFile(Simulation::MaskFileName(folders.masks.c_str(), Simulation::MaskChannel::kRust, step), &rustMaskView);
  device->CreateTextureFromFile(Simulation::MaskFileName(folders.masks.c_str(), Simulation::MaskChannel::kDirt, step), &dirtMaskView);
  MarkChanged();
}

void SceneView::CountDownMaskReload(float elapsedSeconds) {
  if (maskReloadCountdown <= 0.0f) return;
  maskReloadCountdown = std::max(0.0f, maskReloadCountdown - elapsedSeconds);
  if (maskReloadCountdown != 0.0f) return;
  const CUISlider* slider = panels.SimulationPanel().GetSlider(ID_STEP);
  LoadMaskViews(slider ? slider->GetValue() : 0);
}

void SceneView::ShowSamplePoints(bool show) {
  showSamples = show ? 1 : 0;
  if (CUIComboBox* picker = panels.SimulationPanel().GetComboBox(ID_VIEW)) {
    picker->SetSelectedByIndex(show ? kPointsView : meshView);
  }
}

bool SceneView::PickView() {
  const CUIComboBox* picker = panels.SimulationPanel().GetComboBox(ID_VIEW);
  const int view = picker ? picker->GetSelectedIndex() : 0;
  if (view != kPointsView) {
    meshView = std::max(view, 0);
    showSamples = 0;
    return false;
  }
  showSamples = 1;
  // Points asked for before there are any: the surface is sampled for them.
  return samples.Map() == nullptr && model.Soup() != nullptr;
}

// Draws the model, or the next slice of the points written so far, into the picture (or straight
// to the back buffer when there is none); true while written points are left for later frames.
bool SceneView::DrawScene(Platform::GraphicsDevice& device, const Viewer::CameraMatrices& matrices, int view,
                          ScenePicture* picture) {
  if (picture != nullptr) picture->Bind(device);
  {
    ScopedCriticalLock hold(model.Lock());
    if (showSamples == 0 && model.DeviceMesh() != nullptr && (picture == nullptr || !picture->ModelDrawn())) {
      const Viewer::PatinaMasks masks = {rustMaskView.get(), dirtMaskView.get(), StrengthFactor(ID_RUST_FACTOR),
                                         StrengthFactor(ID_DIRT_FACTOR)};
      meshEffect.Draw(*model.DeviceMesh(), meshEffect.ViewTechnique(view), matrices, masks);
      if (picture != nullptr) picture->SetModelDrawn();
    }
  }
  bool pointsLeft = false;
  {
    ScopedCriticalLock hold(samples.Lock());
    if (showSamples == 1 && samples.Map() != nullptr) {
      SamplePoints& points = samples.Points();
      if (picture == nullptr) {
        points.Draw(pointEffect, 0, points.Written(), matrices);
      } else if (const uint32_t slice = picture->NextSlice(points.Written()); slice > 0) {
        points.Draw(pointEffect, picture->PointsDrawn(), slice, matrices);
        picture->AddPoints(slice);
      }
      pointsLeft = picture != nullptr && picture->PointsDrawn() < points.Written();
    }
  }
  if (picture != nullptr) device.SetRenderTargets(FrameworkGetBackBufferView(), FrameworkGetDepthStencilView());
  return pointsLeft;
}

void SceneView::Render(Platform::GraphicsDevice* device, float elapsedSeconds, bool runKept) {
  ScopedCriticalLock ui(panels.UiLock());
  samples.WritePoints(runKept);
  const float grey[4] = {0.3f, 0.3f, 0.3f, 1.0f};
  device->SetRenderTargets(FrameworkGetBackBufferView(), FrameworkGetDepthStencilView());
  device->ClearRenderTargetView(FrameworkGetBackBufferView(), grey);
  device->ClearDepthStencilView(FrameworkGetDepthStencilView(), 1.0f);
  // The settings dialog replaces the scene. The back buffer is cleared first: after a swap its
  // contents are undefined, and the dialog would be drawn over whatever they happen to be.
  if (panels.SettingsDialog().IsActive()) {
    panels.SettingsDialog().Render(elapsedSeconds);
    return;
  }
  const CUIComboBox* viewPicker = panels.SimulationPanel().GetComboBox(ID_VIEW);
  SceneKey key;
  key.contentVersion = version;
  const Platform::SurfaceDescription backBuffer = FrameworkGetBackBufferDescription();
  key.width = backBuffer.width;
  key.height = backBuffer.height;
  key.showSamples = showSamples;
  key.view = viewPicker ? viewPicker->GetSelectedIndex() : -1;
  key.dirtFactor = StrengthFactor(ID_DIRT_FACTOR);
  key.rustFactor = StrengthFactor(ID_RUST_FACTOR);
  key.camera = {camera.GetWorldMatrix(), camera.GetViewMatrix() * camera.GetProjMatrix(), camera.GetEyePt()};
  ScenePicture* picture = scenePicture.Prepare(*device, key) ? &scenePicture : nullptr;
  const bool pointsLeft = DrawScene(*device, key.camera, key.view, picture);
  if (picture != nullptr) {
    panels.Resources().DrawPicture(picture->Picture(), true);
    if (pointsLeft) FrameworkRequestFrame();
  }
  panels.DevicePanel().Render(elapsedSeconds);
  panels.ParametersPanel().Render(elapsedSeconds);
  panels.SimulationPanel().Render(elapsedSeconds);
}
