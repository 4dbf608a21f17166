#include "app/scene_rendering.h"

#include <cstdio>
#include <string>

#include "app/application_state.h"
#include "app/control_ids.h"
#include "app/simulation_control.h"
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
}

void ReleaseSceneResources() {
  App().meshEffect.Release();
  App().pointEffect.Release();
  ReleaseMaskViews();
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

void OnFrameRender(Platform::GraphicsDevice* device, double, float elapsedSeconds, void*) {
  ApplicationState& app = App();
  if (app.simulationFinished.load(std::memory_order_acquire) != 0) CollectFinishedRun();
  ScopedLock ui(UiLock());
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
  const Viewer::CameraMatrices camera = {app.camera.GetWorldMatrix(),
                                         app.camera.GetViewMatrix() * app.camera.GetProjMatrix(), app.camera.GetEyePt()};
  {
    ScopedLock model(ModelLock());
    if (app.showSamples == 0 && app.renderMesh) {
      const CUIComboBox* view = app.simulationPanel.GetComboBox(ID_VIEW);
      const Viewer::PatinaMasks masks = {app.rustMaskView.get(), app.dirtMaskView.get(),
                                         StrengthFactor(ID_RUST_FACTOR), StrengthFactor(ID_DIRT_FACTOR)};
      app.meshEffect.Draw(*app.renderMesh, app.meshEffect.ViewTechnique(view ? view->GetSelectedIndex() : -1), camera,
                          masks);
    }
  }
  {
    ScopedLock samples(SampleLock());
    if (app.showSamples == 1 && app.sampleMap) {
      app.pointEffect.Draw(app.sampleVertexBuffer.get(), app.sampleMap->Count(), camera);
    }
  }
  app.devicePanel.Render(elapsedSeconds);
  app.parametersPanel.Render(elapsedSeconds);
  app.simulationPanel.Render(elapsedSeconds);
}
