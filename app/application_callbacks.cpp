#include "app/application_callbacks.h"

#include <algorithm>
#include <cstdio>

#include "app/application_state.h"
#include "app/asset_export_command.h"
#include "app/control_ids.h"
#include "app/gui_events.h"
#include "app/mask_history.h"
#include "app/model_loading.h"
#include "app/panels.h"
#include "app/scene_rendering.h"
#include "app/simulation_control.h"
#include "app/status_line.h"
#include "app/surface_samples.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_edit_box.h"
#include "framework/ui_slider.h"

namespace {

// A box being typed in keeps what is typed: it is read when the user is done with it.
void WriteNumber(int id, int32_t value) {
  if (CUIEditBox* box = App().parametersPanel.GetEditBox(id); box != nullptr && !box->HasFocus()) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    box->SetText(text);
  }
}

// Counts a countdown down by elapsed seconds; true once when it reaches 0.
bool CountDown(float& countdown, float elapsedSeconds) {
  if (countdown <= 0.0f) return false;
  countdown = std::max(0.0f, countdown - elapsedSeconds);
  return countdown == 0.0f;
}

// A frame after a rest counts the rest as its elapsed time; the camera moves by at most this
// much of it, so a key pressed after a rest does not jump the view.
constexpr float kLongestCameraStep = 0.1f;
// While a run or a sampling is under way, its progress is shown this often.
constexpr float kProgressRedrawSeconds = 0.25f;

// Frames come after input on their own; these ask for the ones that nothing else would bring.
void RequestFramesForChanges() {
  ApplicationState& app = App();
  if (app.camera.KeysDown() > 0) FrameworkRequestFrame();
  if (app.resampleCountdown > 0.0f) FrameworkRequestFrame(app.resampleCountdown);
  if (app.maskReloadCountdown > 0.0f) FrameworkRequestFrame(app.maskReloadCountdown);
  if (SimulationKept() || ResamplingUnderWay() || ExportUnderWay()) FrameworkRequestFrame(kProgressRedrawSeconds);
}

// A dropped model file becomes a picker entry and is loaded as if picked; one that cannot be
// loaded leaves the picker as it was.
void AddDroppedModel(const std::string& path) {
  ApplicationState& app = App();
  if (path.empty()) return;
  const size_t entriesBefore = app.models.size();
  const int index = AddModelEntry(path);
  if (CUIComboBox* picker = app.parametersPanel.GetComboBox(ID_MODEL)) {
    if (app.models.size() > entriesBefore) picker->AddItem(app.models[index].label, reinterpret_cast<void*>(intptr_t(-1)));
    picker->SetSelectedByIndex(index);
  }
  ShowSamplePoints(false);
  LoadSelectedModel();
  if (app.loadedModel != index && app.models.size() > entriesBefore) {
    app.models.pop_back();
    FillModelPicker();
  }
}

// Escape quits, but not a run by surprise.
bool EscapeMayQuit(const Platform::WindowEvent& event) {
  if (event.type != Platform::EventType::KeyDown || event.key != Platform::VK_ESCAPE) return true;
  if (!SimulationRunning()) return true;
  ApplicationState& app = App();
  return app.confirmQuitDuringRun != nullptr && app.confirmQuitDuringRun();
}

}  // namespace

void RegisterApplicationCallbacks() {
  FrameworkSetCallbackIsDeviceAcceptable(OnDeviceAcceptable);
  FrameworkSetCallbackDeviceCreated(OnDeviceCreated);
  FrameworkSetCallbackSwapChainResized(OnSwapChainResized);
  FrameworkSetCallbackSwapChainReleasing(OnSwapChainReleasing);
  FrameworkSetCallbackDeviceDestroyed(OnDeviceDestroyed);
  FrameworkSetCallbackFrameRender(OnFrameRender);
  FrameworkSetCallbackEvent(OnMessage);
  FrameworkSetCallbackFrameMove(OnFrameMove);
  FrameworkSetCallbackModifyDeviceSettings(OnModifyDeviceSettings);
}

bool OnDeviceAcceptable(uint32_t, uint32_t, Platform::DriverType, Platform::Format, bool, void*) { return true; }

Platform::Result OnDeviceCreated(Platform::GraphicsDevice* device, const Platform::SurfaceDescription*, void*) {
  ApplicationState& app = App();
  Platform::Result result = app.dialogResourceManager.OnDeviceCreated(device);
  if (Platform::Failed(result)) return result;
  result = app.settingsDialog.OnDeviceCreated(device);
  if (Platform::Failed(result)) return result;
  FillModelPicker();
  WriteNumber(ID_DENSITY, app.density);
  WriteNumber(ID_STEPS, app.steps);
  WriteNumber(ID_TONS_PER_STEP, app.tonsPerStep);
  // A missing or broken effect leaves it unloaded; the program goes on without it.
  LoadSceneEffects(device);
  // A model kept across a device change goes onto the new device, with its points and masks.
  std::string why;
  if (!RebuildDeviceMesh(device, &why)) {
    SetStatusActivity("The model cannot be drawn on this device.");
    SetStatusDetail(why);
  }
  if (const CUISlider* slider = app.simulationPanel.GetSlider(ID_STEP)) LoadMaskViews(slider->GetValue());
  return Platform::kOk;
}

Platform::Result OnSwapChainResized(Platform::GraphicsDevice* device, const Platform::SurfaceDescription* backBuffer,
                                    void*) {
  ApplicationState& app = App();
  Platform::Result result = app.dialogResourceManager.OnSwapChainResized(device, *backBuffer);
  if (Platform::Failed(result)) return result;
  result = app.settingsDialog.OnSwapChainResized(device, *backBuffer);
  if (Platform::Failed(result)) return result;
  FitCameraToBackBuffer(backBuffer->width, backBuffer->height);
  PlacePanels(int(backBuffer->width), int(backBuffer->height));
  return Platform::kOk;
}

void OnSwapChainReleasing(void*) {
  ApplicationState& app = App();
  app.dialogResourceManager.OnSwapChainReleasing();
  app.settingsDialog.OnSwapChainReleasing();
}

void OnDeviceDestroyed(void*) {
  ApplicationState& app = App();
  app.dialogResourceManager.OnDeviceDestroyed();
  app.settingsDialog.OnDeviceDestroyed();
  ReleaseSceneResources();
  // Only what lives on the device goes. The model, its samples and a run stay: the run reads the
  // model and the samples on the CPU and bakes its masks in software, touching no device object,
  // so a device change (full screen, another rasteriser, the settings dialog) need not end it and
  // throw its work away. The program's end stops a run itself (ShutdownApplication).
  ReleaseDeviceMesh();
  ReleaseSampleVertexBuffer();
}

void OnMessage(Platform::Window* window, const Platform::WindowEvent& event, bool* noFurtherProcessing, void*) {
  ApplicationState& app = App();
  if (app.dialogResourceManager.HandleEvent(window, event)) {
    *noFurtherProcessing = true;
    return;
  }
  // While the device settings dialog is open it alone gets the messages, and the chain ends
  // there. What it does not use still reaches the framework (closing, resizing); what it uses
  // does not: Escape closes the dialog and must not close the window as well.
  if (app.settingsDialog.IsActive()) {
    if (app.settingsDialog.HandleEvent(window, event)) *noFurtherProcessing = true;
    return;
  }
  if (event.type == Platform::EventType::FileDropped && window != nullptr) {
    AddDroppedModel(event.path);
    *noFurtherProcessing = true;
    return;
  }
  if (app.devicePanel.HandleEvent(window, event) || app.parametersPanel.HandleEvent(window, event) ||
      app.simulationPanel.HandleEvent(window, event)) {
    *noFurtherProcessing = true;
    return;
  }
  if (!EscapeMayQuit(event)) {
    *noFurtherProcessing = true;
    return;
  }
  app.camera.HandleEvent(window, event);
}

void OnFrameMove(double, float elapsedSeconds, void*) {
  ApplicationState& app = App();
  app.camera.Update(std::min(elapsedSeconds, kLongestCameraStep));
  ApplyRunReports();
  ApplyFinishedExport();
  // A resampling waits for a running simulation to end: it would replace the samples under it.
  if (!SimulationKept() && CountDown(app.resampleCountdown, elapsedSeconds)) StartResampling();
  if (TakeFinishedResampling()) {
    if (app.runQueued) {
      StartQueuedRun();
    } else if (app.sampleMap) {
      ShowSamplePoints(true);
    }
  }
  const int32_t resampling = app.resamplingPercent.load(std::memory_order_relaxed);
  if (resampling >= 0) {
    char text[64];
    std::snprintf(text, sizeof text, "Resampling the surface: %d\u00a0%%", resampling);
    SetStatusActivity(text);
  }
  if (CountDown(app.maskReloadCountdown, elapsedSeconds)) {
    const CUISlider* slider = app.simulationPanel.GetSlider(ID_STEP);
    LoadMaskViews(slider ? slider->GetValue() : 0);
  }
  ShowStatusLine();
  RequestFramesForChanges();
}

bool OnModifyDeviceSettings(FrameworkDeviceSettings* settings, void*) {
  ApplicationState& app = App();
  if (!app.referenceWarningChecked) {
    app.referenceWarningChecked = true;
    if (settings->device.driverType == Platform::DriverType::Reference) FrameworkShowReferenceDeviceWarning();
  }
  return true;
}
