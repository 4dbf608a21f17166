#include "app/application.h"

namespace {

PatinexApplication& ApplicationOf(void* userContext) { return *static_cast<PatinexApplication*>(userContext); }

}  // namespace

void PatinexApplication::RegisterCallbacks() {
  FrameworkSetCallbackIsDeviceAcceptable(DeviceAcceptableCallback, this);
  FrameworkSetCallbackDeviceCreated(DeviceCreatedCallback, this);
  FrameworkSetCallbackSwapChainResized(SwapChainResizedCallback, this);
  FrameworkSetCallbackSwapChainReleasing(SwapChainReleasingCallback, this);
  FrameworkSetCallbackDeviceDestroyed(DeviceDestroyedCallback, this);
  FrameworkSetCallbackFrameRender(FrameRenderCallback, this);
  FrameworkSetCallbackMessage(OnMessage, this);
  FrameworkSetCallbackFrameMove(FrameMoveCallback, this);
  FrameworkSetCallbackModifyDeviceSettings(ModifyDeviceSettingsCallback, this);
}

bool PatinexApplication::DeviceAcceptableCallback(uint32_t, uint32_t, Platform::DriverType, Platform::Format, bool, void*) { return true; }

Platform::Result PatinexApplication::DeviceCreatedCallback(Platform::GraphicsDevice* device,
                                                    const Platform::SurfaceDescription*, void* userContext) {
  return ApplicationOf(userContext).OnDeviceCreated(device);
}

Platform::Result PatinexApplication::SwapChainResizedCallback(Platform::GraphicsDevice* device,
                                                       const Platform::SurfaceDescription* backBuffer, void* userContext) {
  return ApplicationOf(userContext).OnSwapChainResized(device, *backBuffer);
}

void PatinexApplication::SwapChainReleasingCallback(void* userContext) { ApplicationOf(userContext).OnSwapChainReleasing(); }

void PatinexApplication::DeviceDestroyedCallback(void* userContext) { ApplicationOf(userContext).OnDeviceDestroyed(); }

void PatinexApplication::FrameRenderCallback(Platform::GraphicsDevice* device, double, float elapsedSeconds, void* userContext) {
  ApplicationOf(userContext).OnFrameRender(device, elapsedSeconds);
}

Platform::LRESULT PatinexApplication::OnMessage(Platform::Window* window, uint32_t message, Platform::WPARAM wParam,
                                         Platform::LPARAM lParam, bool* noFurtherProcessing, void* userContext) {
  PatinexApplication& app = ApplicationOf(userContext);
  WindowPanels& panels = app.Panels();
  if (panels.Resources().HandleMessage(window, message, wParam, lParam)) {
    *noFurtherProcessing = true;
    return 0;
  }
  // While the device settings dialog is open it alone gets the messages, and the chain ends
  // there. What it does not use still reaches the framework (closing, resizing); what it uses
  // does not: Escape closes the dialog and must not close the window as well.
  if (panels.SettingsDialog().IsActive()) {
    if (panels.SettingsDialog().HandleMessage(window, message, wParam, lParam)) *noFurtherProcessing = true;
    return 0;
  }
  if (message == Platform::WM_DROPFILES && window != nullptr) {
    app.AddDroppedModel(window->DroppedFile());
    *noFurtherProcessing = true;
    return 0;
  }
  if (panels.DevicePanel().HandleMessage(window, message, wParam, lParam) ||
      panels.ParametersPanel().HandleMessage(window, message, wParam, lParam) ||
      panels.SimulationPanel().HandleMessage(window, message, wParam, lParam)) {
    *noFurtherProcessing = true;
    return 0;
  }
  if (!app.EscapeMayQuit(message, wParam)) {
    *noFurtherProcessing = true;
    return 0;
  }
  app.View().Camera().HandleMessage(window, message, wParam, lParam);
  return 0;
}

void PatinexApplication::FrameMoveCallback(double, float elapsedSeconds, void* userContext) { ApplicationOf(userContext).OnFrameMove(elapsedSeconds); }

bool PatinexApplication::ModifyDeviceSettingsCallback(FrameworkDeviceSettings* settings, void* userContext) {
  return ApplicationOf(userContext).OnModifyDeviceSettings(settings);
}

void PatinexApplication::ControlEventCallback(uint32_t eventCode, int controlId, CUIControl*, void* userContext) {
  ApplicationOf(userContext).OnGuiEvent(eventCode, controlId);
}
