#include <algorithm>
#include <cstdio>
#include <string>

#include "app/application.h"
#include "app/control_ids.h"
#include "framework/ui_slider.h"
#include "platform/window.h"

namespace {

// A frame after a rest counts the rest as its elapsed time; the camera moves by at most this
// much of it, so a key pressed after a rest does not jump the view.
constexpr float kLongestCameraStep = 0.1f;
// While a run or a sampling is under way, its progress is shown this often.
constexpr float kProgressRedrawSeconds = 0.25f;

}  // namespace

void PatinexApplication::RequestFramesForChanges() {
  if (view.Camera().KeysDown() > 0) FrameworkRequestFrame();
  if (samples.RequestCountdown() > 0.0f) FrameworkRequestFrame(samples.RequestCountdown());
  if (view.MaskReloadCountdown() > 0.0f) FrameworkRequestFrame(view.MaskReloadCountdown());
  if (run.Kept() || samples.UnderWay() || exporter.UnderWay()) FrameworkRequestFrame(kProgressRedrawSeconds);
}

Platform::Result PatinexApplication::OnDeviceCreated(Platform::GraphicsDevice* device) {
  // A device change may bring a new window, made with the framework's own minimum.
  if (Platform::Window* window = FrameworkGetWindow()) window->SetMinimumClientSize(kMinimumWindowWidth, kMinimumWindowHeight);
  Platform::Result result = panels.Resources().OnDeviceCreated(device);
  if (Platform::Failed(result)) return result;
  result = panels.SettingsDialog().OnDeviceCreated(device);
  if (Platform::Failed(result)) return result;
  models.Fill(panels.ParametersPanel().GetComboBox(ID_MODEL));
  numbers.Show(kDensityBox);
  numbers.Show(kStepsBox);
  numbers.Show(kTonsPerStepBox);
  // A missing or broken effect leaves it unloaded; the program goes on without it.
  view.LoadEffects(device);
  // A model kept across a device change goes onto the new device, with its points and masks.
  std::string why;
  if (!model.RebuildDeviceMesh(device, view.MeshEffect(), &why)) {
    status.SetActivity("The model cannot be drawn on this device.");
    status.SetDetail(why);
  }
  if (const CUISlider* slider = panels.SimulationPanel().GetSlider(ID_STEP)) view.LoadMaskViews(slider->GetValue());
  return Platform::kOk;
}

Platform::Result PatinexApplication::OnSwapChainResized(Platform::GraphicsDevice* device,
                                                 const Platform::SurfaceDescription& backBuffer) {
  Platform::Result result = panels.Resources().OnSwapChainResized(device, backBuffer);
  if (Platform::Failed(result)) return result;
  result = panels.SettingsDialog().OnSwapChainResized(device, backBuffer);
  if (Platform::Failed(result)) return result;
  view.FitCameraToBackBuffer(backBuffer.width, backBuffer.height);
  panels.Place(int(backBuffer.width), int(backBuffer.height));
  return Platform::kOk;
}

void PatinexApplication::OnSwapChainReleasing() {
  panels.Resources().OnSwapChainReleasing();
  panels.SettingsDialog().OnSwapChainReleasing();
}

void PatinexApplication::OnDeviceDestroyed() {
  panels.Resources().OnDeviceDestroyed();
  panels.SettingsDialog().OnDeviceDestroyed();
  view.ReleaseResources();
  // Only what lives on the device goes. The model, its samples and a run stay: the run reads the
  // model and the samples on the CPU and bakes its masks in software, touching no device object,
  // so a device change (full screen, another rasteriser, the settings dialog) need not end it and
  // throw its work away. The program's end stops a run itself (Shutdown).
  model.ReleaseDeviceMesh();
  samples.ReleaseDevicePoints();
}

void PatinexApplication::OnFrameMove(float elapsedSeconds) {
  if (quitAnswered) {
    quitAnswered = false;
    if (Platform::Window* window = FrameworkGetWindow()) window->Send(Platform::WindowEvent::Of(Platform::EventType::Close));
    return;
  }
  view.Camera().Update(std::min(elapsedSeconds, kLongestCameraStep));
  run.ApplyReports();
  // A run that ended while the question was open leaves nothing to ask about.
  if (QuitQuestionOpen() && asked == Question::kQuit && !run.Running()) panels.QuitQuestion().SetVisible(false);
  if (deleteAnswered) {
    deleteAnswered = false;
    if (!run.Kept()) sessions.DeleteCurrent();
  }
  exporter.ApplyFinished();
  // A resampling waits for a running simulation to end: it would replace the samples under it.
  if (!run.Kept() && samples.CountDownRequest(elapsedSeconds)) run.StartResampling();
  if (samples.TakeFinished(numbers.Density())) {
    sessions.SamplesReplaced();
    if (run.Queued()) {
      run.StartQueued();
    } else if (samples.Map() != nullptr) {
      view.ShowSamplePoints(true);
    }
  }
  const int32_t resampling = samples.ResamplingPercent();
  if (resampling >= 0) {
    char text[64];
    std::snprintf(text, sizeof text, "Resampling the surface: %d\u00a0%%", resampling);
    status.SetActivity(text);
  }
  view.CountDownMaskReload(elapsedSeconds);
  status.Show();
  RequestFramesForChanges();
}

void PatinexApplication::OnFrameRender(Platform::GraphicsDevice* device, float elapsedSeconds) {
  if (run.Finished()) run.Collect();
  view.Render(device, elapsedSeconds, run.HasThread());
}

bool PatinexApplication::OnModifyDeviceSettings(FrameworkDeviceSettings* settings) {
  if (!referenceWarningChecked) {
    referenceWarningChecked = true;
    if (settings->device.driverType == Platform::DriverType::Reference) FrameworkShowReferenceDeviceWarning();
  }
  return true;
}
