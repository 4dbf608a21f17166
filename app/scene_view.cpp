#include "app/scene_view.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "app/control_ids.h"
#include "app/mask_history.h"
#include "app/media_folders.h"
#include "app/source_controls.h"
#include "app/surface_samples.h"
#include "app/window_panels.h"
#include "app/work_model.h"
#include "framework/framework.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_slider.h"
#include "simulation/mask_files.h"
#include "threadinglib/scoped_critical_lock.h"
#include "viewer/environment_catalog.h"
#include "viewer/scene_placement.h"

using ThreadingLib::ScopedCriticalLock;

namespace {
// The view picker's entries: the three model views, then the sample points.
constexpr int kPointsView = 3;
}  // namespace

void SceneView::LoadEffects(Platform::GraphicsDevice* target) {
  device = target;
  std::string problems;
  const bool meshLoaded = Platform::Succeeded(meshEffect.Load(*device, folders.media, &problems));
  const bool pointsLoaded = Platform::Succeeded(pointEffect.Load(*device, folders.media, &problems));
  const bool backgroundLoaded = Platform::Succeeded(background.Load(*device, folders.media, &problems));
  if (!meshLoaded || !pointsLoaded || !backgroundLoaded) {
    std::fprintf(stderr, "patinex: nothing is drawn with an effect that failed:\n%s", problems.c_str());
  }
  LoadEnvironment();
  meshEffect.UseEnvironment(&environmentLight);
  // A new device starts the effect on bronze: the look chosen goes back on.
  ShowLook(AssetExport::Look(look));
}

void SceneView::ShowLook(const AssetExport::Look& chosen) {
  const bool humidityBefore = look.Uses(AssetExport::LookMask::kHumidity);
  look = chosen;
  if (device != nullptr) {
    std::string problems;
    if (Platform::Failed(meshEffect.UseLook(look, &problems))) {
      std::fprintf(stderr, "patinex: the look %s shows without what did not load:\n%s", look.name.c_str(),
                   problems.c_str());
    }
  }
  if (look.Uses(AssetExport::LookMask::kHumidity) != humidityBefore && maskStep >= 0) LoadMaskViews(maskStep);
  MarkChanged();
}

void SceneView::LoadEnvironment() {
  const std::vector<Viewer::ShippedEnvironment>& shipped = Viewer::ShippedEnvironments();
  if (device == nullptr || environment < 0 || size_t(environment) >= shipped.size()) return;
  std::string problems;
  const std::string path = folders.media + "/" + shipped[size_t(environment)].file;
  if (Platform::Failed(environmentLight.Load(*device, path, &problems))) {
    std::fprintf(stderr, "patinex: the environment %s is not used: %s\n", shipped[size_t(environment)].displayName.c_str(),
                 problems.c_str());
  }
}

void SceneView::SetEnvironment(int index) {
  if (index == environment) return;
  environment = index;
  LoadEnvironment();
  MarkChanged();
}

void SceneView::ShowBackground(bool show) {
  if (show == backgroundShown) return;
  backgroundShown = show;
  MarkChanged();
}

void SceneView::ReleaseResources() {
  scenePicture.Release();
  meshEffect.Release();
  pointEffect.Release();
  sourceArrow.ReleaseDevice();
  background.Release();
  environmentLight.Release();
  device = nullptr;
  ReleaseMaskViews();
  MarkChanged();
}

namespace {

// The part of the window a panel hides: its caption bar and its controls below it; only the bar
// while it is folded, nothing while hidden.
bool PanelCover(const Dialog& panel, Viewer::PixelRect* cover) {
  if (!panel.IsVisible() || (panel.IsMinimized() && !panel.IsCaptionShown())) return false;
  const int caption = panel.IsCaptionShown() ? panel.CaptionHeight() : 0;
  const int bottom = panel.IsMinimized() ? panel.Y() + caption : panel.Y() + caption + panel.Height();
  *cover = {float(panel.X()), float(panel.Y()), float(panel.X() + panel.Width()), float(bottom)};
  return true;
}

bool SameRect(const Viewer::PixelRect& a, const Viewer::PixelRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

Viewer::PixelRect SceneView::FreeArea(uint32_t width, uint32_t height) {
  std::vector<Viewer::PixelRect> covers;
  for (const Dialog* panel : panels.OverScene()) {
    Viewer::PixelRect cover;
    if (PanelCover(*panel, &cover)) covers.push_back(cover);
  }
  return Viewer::LargestFreeRect(float(width), float(height), covers);
}

void SceneView::FitCameraToBackBuffer(uint32_t width, uint32_t height) {
  fittedWidth = width;
  fittedHeight = height;
  fittedFree = FreeArea(width, height);
  // Framed from where Home returns to, so that the wheel's zoom stays as it was; without a model
  // a box of no size at the look-at point only centres the view in the free part.
  const Viewer::CameraPlacement home{camera.GetDefaultEye(), camera.GetDefaultLookAt()};
  RenderLib::BoundingBox box;
  if (model.Soup()) {
    box = model.Soup()->GetBoundingBox();
  } else {
    box.Extend({home.lookAt.x, home.lookAt.y, home.lookAt.z});
  }
  const Viewer::Projection projection =
      Viewer::FramingProjection(box, Platform::MatrixIdentity(), home, width, height, fittedFree);
  camera.SetProjection(projection.fieldOfView, projection.aspect, projection.nearPlane, projection.farPlane);
  camera.SetLensShift(projection.lensShift);
  // The arc balls are centred on the model, in the free part; a free part of no size leaves
  // them the whole window.
  if (fittedFree.Width() > 0.0f && fittedFree.Height() > 0.0f) {
    camera.SetActiveRect({int(fittedFree.left), int(fittedFree.top), int(fittedFree.right), int(fittedFree.bottom)});
  } else {
    camera.SetActiveRect({0, 0, int(width), int(height)});
  }
}

void SceneView::FrameLoadedModel() {
  if (!model.Soup()) return;
  const Viewer::ModelBounds bounds = Viewer::BoundsOfBox(model.Soup()->GetBoundingBox());
  const Viewer::CameraPlacement start = Viewer::StartingCamera(bounds);
  camera.SetView(&start.eye, &start.lookAt);
  // Also undoes the turn given to the model before.
  camera.Reset();
  camera.SetModelCenter(start.lookAt);
  camera.SetModelRadius(bounds.radius);
  const Platform::SurfaceDescription backBuffer = FrameworkGetBackBufferDescription();
  FitCameraToBackBuffer(backBuffer.width, backBuffer.height);
  meshEffect.PlaceLights(bounds);
  pointEffect.PlaceLights(bounds);
  MarkChanged();
}

float SceneView::StrengthFactor(int sliderId) const {
  const CUISlider* slider = panels.SimulationPanel().GetSlider(sliderId);
  return slider ? float(slider->GetValue()) * 0.01f : 0.0f;
}

void SceneView::ReleaseMaskViews() {
  for (SpaceMasks* masks : {&rustMasks, &dirtMasks, &humidityMasks}) {
    masks->views.clear();
    masks->owned.clear();
  }
  maskStep = -1;
  MarkChanged();
}

void SceneView::LoadMaskViews(int32_t step) {
  ReleaseMaskViews();
  Platform::GraphicsDevice* device = FrameworkGetDevice();
  const std::shared_ptr<RenderLib::ObjModel>& shown = model.AsRead();
  if (device == nullptr || step < 0 || step >= history.Steps() || folders.session.empty() || shown == nullptr) return;
  if (maskSpacesOf.lock() != shown) {
    maskSpaces = Simulation::AssignMaskSpaces(*shown);
    maskSpacesOf = shown;
  }
  maskStep = step;
  const std::pair<SpaceMasks*, Simulation::MaskChannel> channels[] = {
      {&rustMasks, Simulation::MaskChannel::kRust},
      {&dirtMasks, Simulation::MaskChannel::kDirt},
      {&humidityMasks, Simulation::MaskChannel::kHumidity}};
  for (const auto& [masks, channel] : channels) {
    if (channel == Simulation::MaskChannel::kHumidity && !look.Uses(AssetExport::LookMask::kHumidity)) continue;
    masks->owned.resize(size_t(std::max(maskSpaces.count, 1)));
    for (size_t space = 0; space < masks->owned.size(); ++space) {
      const std::string path =
          Simulation::MaskFileName(folders.session.c_str(), channel, step, Simulation::kMaskJpeg, int32_t(space));
      device->CreateTextureFromFile(path, &masks->owned[space]);
      masks->views.push_back(masks->owned[space].get());
    }
  }
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
  // The surroundings go in first, once a picture, behind a model in the Shaded view only: the
  // mask views and the points read best on plain grey.
  if (backgroundShown && showSamples == 0 && view == 0 && environmentLight.IsLoaded() &&
      model.DeviceMesh() != nullptr && (picture == nullptr || !picture->BackgroundDrawn())) {
    background.Draw(environmentLight, matrices);
    if (picture != nullptr) picture->SetBackgroundDrawn();
  }
  {
    ScopedCriticalLock hold(model.Lock());
    if (showSamples == 0 && model.DeviceMesh() != nullptr && (picture == nullptr || !picture->ModelDrawn())) {
      Viewer::PatinaMasks masks;
      masks.rust = rustMasks.views;
      masks.dirt = dirtMasks.views;
      masks.humidity = humidityMasks.views;
      masks.spaceOfMaterial = maskSpaces.spaceOfMaterial;
      masks.rustFactor = StrengthFactor(ID_RUST_FACTOR);
      masks.dirtFactor = StrengthFactor(ID_DIRT_FACTOR);
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
  // The back buffer is cleared before whatever does not cover it whole: after a swap its
  // contents are undefined, and would show through.
  const auto clearBackBuffer = [device, &grey] {
    device->ClearRenderTargetView(FrameworkGetBackBufferView(), grey);
    device->ClearDepthStencilView(FrameworkGetDepthStencilView(), 1.0f);
  };
  // The settings dialog replaces the scene.
  if (panels.SettingsDialog().IsActive()) {
    clearBackBuffer();
    panels.SettingsDialog().Render(elapsedSeconds);
    return;
  }
  const CUIComboBox* viewPicker = panels.SimulationPanel().GetComboBox(ID_VIEW);
  SceneKey key;
  key.contentVersion = version;
  const Platform::SurfaceDescription backBuffer = FrameworkGetBackBufferDescription();
  // The panels may have moved, folded or been resized since the projection was fitted.
  if (backBuffer.width != fittedWidth || backBuffer.height != fittedHeight ||
      !SameRect(FreeArea(backBuffer.width, backBuffer.height), fittedFree)) {
    FitCameraToBackBuffer(backBuffer.width, backBuffer.height);
  }
  key.width = backBuffer.width;
  key.height = backBuffer.height;
  key.showSamples = showSamples;
  key.view = viewPicker ? viewPicker->GetSelectedIndex() : -1;
  key.dirtFactor = StrengthFactor(ID_DIRT_FACTOR);
  key.rustFactor = StrengthFactor(ID_RUST_FACTOR);
  key.camera = {camera.GetWorldMatrix(), camera.GetViewMatrix() * camera.GetProjMatrix(), camera.GetEyePt()};
  bool slicingPoints = false;
  {
    ScopedCriticalLock hold(samples.Lock());
    slicingPoints = showSamples == 1 && samples.Map() != nullptr;
  }
  ScenePicture* picture =
      scenePicture.WorthKeeping(key, slicingPoints) && scenePicture.Prepare(*device, key) ? &scenePicture : nullptr;
  // The copied picture covers every pixel, and the panels over it test no depth: the back
  // buffer's clears would only cost time.
  if (picture == nullptr) clearBackBuffer();
  const bool pointsLeft = DrawScene(*device, key.camera, key.view, picture);
  if (picture != nullptr) {
    if (!panels.Resources().DrawPicture(picture->Picture(), true)) clearBackBuffer();
    if (pointsLeft) FrameworkRequestFrame();
  }
  // Over the scene, never into its kept picture: where the next run's weather comes from.
  if (model.Soup()) {
    device->ClearDepthStencilView(FrameworkGetDepthStencilView(), 1.0f);
    sourceArrow.Draw(*device, pointEffect, key.camera, Viewer::BoundsOfBox(model.Soup()->GetBoundingBox()),
                     SourceOfControls(panels.SourcePanel()));
  }
  for (Dialog* panel : panels.OverScene()) panel->Render(elapsedSeconds);
  panels.SourcePanel().Render(elapsedSeconds);
  panels.LookPanel().Render(elapsedSeconds);
  if (panels.FileBrowserPanel().IsVisible()) panels.FileBrowserPanel().Render(elapsedSeconds);
  if (panels.QuitQuestion().IsVisible()) panels.QuitQuestion().Render(elapsedSeconds);
}
