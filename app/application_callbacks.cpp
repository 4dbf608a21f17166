#include "app/application_callbacks.h"

#include <algorithm>
#include <cstdio>

#include "app/application_state.h"
#include "app/control_ids.h"
#include "app/model_loading.h"
#include "app/panels.h"
#include "app/scene_rendering.h"
#include "app/simulation_control.h"
#include "app/surface_samples.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_edit_box.h"
#include "framework/ui_slider.h"

namespace {

void WriteNumber(int id, int32_t value) {
  if (CUIEditBox* box = App().parametersPanel.GetEditBox(id)) {
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

// A dropped model file becomes a picker entry and is loaded as if picked; one that cannot be
// loaded leaves the picker as it was.
void AddDroppedModel(Platform::Window* window) {
  ApplicationState& app = App();
  const std::string& path = window->DroppedFile();
  if (path.empty()) return;
  const size_t entriesBefore = app.models.size();
  const int index = AddModelEntry(path);
  if (CUIComboBox* picker = app.parametersPanel.GetComboBox(ID_MODEL)) {
    if (app.models.size() > entriesBefore) picker->AddItem(app.models[index].label, reinterpret_cast<void*>(intptr_t(-1)));
    picker->SetSelectedByIndex(index);
  }
  app.showSamples = 0;
  LoadSelectedModel();
  if (app.loadedModel != index && app.models.size() > entriesBefore) {
    app.models.pop_back();
    FillModelPicker();
  }
}

}  // namespace

void RegisterApplicationCallbacks() {
  FrameworkSetCallbackIsDeviceAcceptable(OnDeviceAcceptable);
  FrameworkSetCallbackDeviceCreated(OnDeviceCreated);
  FrameworkSetCallbackSwapChainResized(OnSwapChainResized);
  FrameworkSetCallbackSwapChainReleasing(OnSwapChainReleasing);
  FrameworkSetCallbackDeviceDestroyed(OnDeviceDestroyed);
  FrameworkSetCallbackFrameRender(OnFrameRender);
  FrameworkSetCallbackMessage(OnMessage);
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
  // The run reads the model and the samples: it ends before they go.
  EndRunningSimulation(false);
  ReleaseSceneResources();
  ReleaseModel();
  ReleaseSamples();
  app.loadedModel = 0;
}

Platform::LRESULT OnMessage(Platform::Window* window, uint32_t message, Platform::WPARAM wParam,
                            Platform::LPARAM lParam, bool* noFurtherProcessing, void*) {
  ApplicationState& app = App();
  if (app.dialogResourceManager.HandleMessage(window, message, wParam, lParam)) {
    *noFurtherProcessing = true;
    return 0;
  }
  // While the device settings dialog is open it alone gets the messages, and the chain ends
  // there. What it does not use still reaches the framework (closing, resizing); what it uses
  // does not: Escape closes the dialog and must not close the window as well.
  if (app.settingsDialog.IsActive()) {
    if (app.settingsDialog.HandleMessage(window, message, wParam, lParam)) *noFurtherProcessing = true;
    return 0;
  }
  if (message == Platform::WM_DROPFILES && window != nullptr) {
    AddDroppedModel(window);
    *noFurtherProcessing = true;
    return 0;
  }
  if (app.devicePanel.HandleMessage(window, message, wParam, lParam) ||
      app.parametersPanel.HandleMessage(window, message, wParam, lParam) ||
      app.simulationPanel.HandleMessage(window, message, wParam, lParam)) {
    *noFurtherProcessing = true;
    return 0;
  }
  app.camera.HandleMessage(window, message, wParam, lParam);
  return 0;
}

void OnFrameMove(double, float elapsedSeconds, void*) {
  ApplicationState& app = App();
  app.camera.Update(elapsedSeconds);
  ApplyRunReports();
  if (CountDown(app.resampleCountdown, elapsedSeconds)) {
    app.showSamples = 1;
    EndRunningSimulation();  // the run reads the samples that are about to be replaced
    ResampleSurface();
  }
  if (CountDown(app.maskReloadCountdown, elapsedSeconds)) {
    const CUISlider* slider = app.simulationPanel.GetSlider(ID_STEP);
    LoadMaskViews(slider ? slider->GetValue() : 0);
  }
}

bool OnModifyDeviceSettings(FrameworkDeviceSettings* settings, void*) {
  ApplicationState& app = App();
  if (!app.referenceWarningChecked) {
    app.referenceWarningChecked = true;
    if (settings->device.driverType == Platform::DriverType::Reference) FrameworkShowReferenceDeviceWarning();
  }
  return true;
}
