#include "app/scene_rendering.h"

#include <cstdio>
#include <string>

#include "app/application_state.h"
#include "app/control_ids.h"
#include "app/scene_picture.h"
#include "app/simulation_control.h"
#include "app/surface_samples.h"
#include "framework/framework.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_slider.h"
#include "viewer/scene_placement.h"

void LoadSceneEffects(Platform::GraphicsDevice* device) {
  ApplicationState& app = App();
  std::string problems;
  const bool meshLoaded = Platform::Succeeded(app.meshEffect.Load(*device, app.mediaFolder, &problems));
  const bool pointsLoaded = Platform::Succeeded(app.pointEffect.Load(*device, app.mediaFolder, &problems));
  if (!meshLoaded || !pointsLoaded) std::fprintf(stderr, "patinex: nothing is drawn with an effect that failed:\n%s", problems.c_str());
  MarkSceneChanged();
}

void ReleaseSceneResources() {
  App().scenePicture.Release();
  App().meshEffect.Release();
  App().pointEffect.Release();
  ReleaseMaskViews();
  MarkSceneChanged();
}

void FitCameraToBackBuffer(uint32_t width, uint32_t height) {
  CModelViewerCamera& camera = App().camera;
  const Viewer::Projection projection =
      Viewer::ProjectionFor(Platform::Vec3Length(camera.GetEyePt() - camera.GetLookAtPt()), width, height);
  camera.SetProjection(projection.fieldOfView, projection.aspect, projection.nearPlane, projection.farPlane);
  camera.SetWindow(int(width), int(height), 0.9f);
}

float StrengthFactor(int sliderId) {
  const CUISlider* slider = App().simulationPanel.GetSlider(sliderId);
  return slider ? float(slider->GetValue()) * 0.01f : 0.0f;
}

namespace {

// Draws the model, or the next slice of the points written so far, into the picture (or straight
// to the back buffer when there is none); true while written points are left for later frames.
bool DrawScene(Platform::GraphicsDevice& device, const Viewer::CameraMatrices& camera, int view, ScenePicture* picture) {
  ApplicationState& app = App();
  if (picture != nullptr) picture->Bind(device);
  {
    ScopedLock model(ModelLock());
    if (app.showSamples == 0 && app.renderMesh && (picture == nullptr || !picture->ModelDrawn())) {
      const Viewer::PatinaMasks masks = {app.rustMaskView.get(), app.dirtMaskView.get(),
                                         StrengthFactor(ID_RUST_FACTOR), StrengthFactor(ID_DIRT_FACTOR)};
      app.meshEffect.Draw(*app.renderMesh, app.meshEffect.ViewTechnique(view), camera, masks);
      if (picture != nullptr) picture->SetModelDrawn();
    }
  }
  bool pointsLeft = false;
  {
    ScopedLock samples(SampleLock());
    if (app.showSamples == 1 && app.sampleMap) {
      SamplePoints& points = app.samplePoints;
      if (picture == nullptr) {
        points.Draw(app.pointEffect, 0, points.Written(), camera);
      } else if (const uint32_t slice = picture->NextSlice(points.Written()); slice > 0) {
        points.Draw(app.pointEffect, picture->PointsDrawn(), slice, camera);
        picture->AddPoints(slice);
      }
      pointsLeft = picture != nullptr && picture->PointsDrawn() < points.Written();
    }
  }
  if (picture != nullptr) device.SetRenderTargets(FrameworkGetBackBufferView(), FrameworkGetDepthStencilView());
  return pointsLeft;
}

}  // namespace

void MarkSceneChanged() { ++App().sceneVersion; }

void OnFrameRender(Platform::GraphicsDevice* device, double, float elapsedSeconds, void*) {
  ApplicationState& app = App();
  if (app.simulationFinished.load(std::memory_order_acquire) != 0) CollectFinishedRun();
  ScopedLock ui(UiLock());
  WriteSamplePoints();
  const float grey[4] = {0.3f, 0.3f, 0.3f, 1.0f};
  device->SetRenderTargets(FrameworkGetBackBufferView(), FrameworkGetDepthStencilView());
  device->ClearRenderTargetView(FrameworkGetBackBufferView(), grey);
  device->ClearDepthStencilView(FrameworkGetDepthStencilView(), 1.0f);
  // The settings dialog replaces the scene. The back buffer is cleared first: after a swap its
  // contents are undefined, and the dialog would be drawn over whatever they happen to be.
  if (app.settingsDialog.IsActive()) {
    app.settingsDialog.Render(elapsedSeconds);
    return;
  }
  const CUIComboBox* viewPicker = app.simulationPanel.GetComboBox(ID_VIEW);
  SceneKey key;
  key.contentVersion = app.sceneVersion;
  const Platform::SurfaceDescription backBuffer = FrameworkGetBackBufferDescription();
  key.width = backBuffer.width;
  key.height = backBuffer.height;
  key.showSamples = app.showSamples;
  key.view = viewPicker ? viewPicker->GetSelectedIndex() : -1;
  key.dirtFactor = StrengthFactor(ID_DIRT_FACTOR);
  key.rustFactor = StrengthFactor(ID_RUST_FACTOR);
  key.camera = {app.camera.GetWorldMatrix(), app.camera.GetViewMatrix() * app.camera.GetProjMatrix(),
                app.camera.GetEyePt()};
  ScenePicture* picture = app.scenePicture.Prepare(*device, key) ? &app.scenePicture : nullptr;
  const bool pointsLeft = DrawScene(*device, key.camera, key.view, picture);
  if (picture != nullptr) {
    app.dialogResourceManager.DrawPicture(picture->Picture(), true);
    if (pointsLeft) FrameworkRequestFrame();
  }
  app.devicePanel.Render(elapsedSeconds);
  app.parametersPanel.Render(elapsedSeconds);
  app.simulationPanel.Render(elapsedSeconds);
}
