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
  FrameworkSetCallbackEvent(OnMessage, this);
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

void PatinexApplication::OnMessage(Platform::Window* window, const Platform::WindowEvent& event,
                                   bool* noFurtherProcessing, void* userContext) {
  PatinexApplication& app = ApplicationOf(userContext);
  WindowPanels& panels = app.Panels();
  if (panels.Resources().HandleEvent(window, event)) {
    *noFurtherProcessing = true;
    return;
  }
  if (app.HandleQuitQuestion(window, event)) {
    *noFurtherProcessing = true;
    return;
  }
  // While the device settings dialog is open it alone gets the events, and the chain ends
  // there. What it does not use still reaches the framework (closing, resizing); what it uses
  // does not: Escape closes the dialog and must not close the window as well.
  if (panels.SettingsDialog().IsActive()) {
    if (panels.SettingsDialog().HandleEvent(window, event)) *noFurtherProcessing = true;
    return;
  }
  // Back from another program, perhaps an editor: looks written or changed there show.
  if (event.type == Platform::EventType::FocusGained) app.ReadLooksAgain();
  if (event.type == Platform::EventType::FileDropped && window != nullptr) {
    app.AddDroppedModel(event.path);
    *noFurtherProcessing = true;
    return;
  }
  if (app.Browser().HandleEvent(window, event)) {
    *noFurtherProcessing = true;
    return;
  }
  if (panels.DevicePanel().HandleEvent(window, event) || panels.ParametersPanel().HandleEvent(window, event) ||
      panels.SimulationPanel().HandleEvent(window, event) || panels.ExportPanel().HandleEvent(window, event) ||
      panels.SourcePanel().HandleEvent(window, event) || panels.LookPanel().HandleEvent(window, event)) {
    *noFurtherProcessing = true;
    return;
  }
  if (!app.EscapeMayQuit(event)) {
    *noFurtherProcessing = true;
    return;
  }
  app.View().Camera().HandleEvent(window, event);
}

void PatinexApplication::FrameMoveCallback(double, float elapsedSeconds, void* userContext) { ApplicationOf(userContext).OnFrameMove(elapsedSeconds); }

bool PatinexApplication::ModifyDeviceSettingsCallback(FrameworkDeviceSettings* settings, void* userContext) {
  return ApplicationOf(userContext).OnModifyDeviceSettings(settings);
}

void PatinexApplication::ControlEventCallback(uint32_t eventCode, int controlId, CUIControl*, void* userContext) {
  ApplicationOf(userContext).OnGuiEvent(eventCode, controlId);
}
