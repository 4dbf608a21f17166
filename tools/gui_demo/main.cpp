// gui-demo: every control of the on-screen toolkit in one dialog, a second dialog for Tab, and
// the device settings dialog. Each GUI event is printed on stdout, one line per event.
#include <cstdio>
#include <cstring>
#include <string>

#include "framework/device_settings_dialog.h"
#include "framework/dialog.h"
#include "framework/framework.h"
#include "framework/program_arguments.h"
#include "framework/ui_static.h"
#include "tools/gui_demo/demo_dialogs.h"

namespace {

const char kAbout[] =
    "Opens a window titled \"Patinex GUI demo\" with a dialog of every control kind (static text,\n"
    "buttons with hot keys, check box, two radio groups, slider, edit box, combo box) and a second\n"
    "dialog. Every event is printed on stdout as one line, for example:\n"
    "  event 0x0101 id 2 button\n"
    "  event 0x0501 id 10 slider value 63\n"
    "Click a caption to minimise its dialog. Tab and Shift+Tab move the focus across both dialogs.\n"
    "\"Change device (F2)\" opens the device settings dialog (renderer, window mode, back-buffer\n"
    "size, vertical sync). Escape closes that dialog, or else the window.\n";

struct Demo {
  DialogResourceManager manager;
  Dialog controls;
  Dialog second;
  CDeviceSettingsDialog settings;
  bool firstSettings = true;
};

void OnGuiEvent(uint32_t eventCode, int controlId, CUIControl* control, void* context) {
  Demo& demo = *static_cast<Demo*>(context);
  const std::string line = DescribeEvent(eventCode, controlId, control);
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  if (CUIStatic* last = demo.controls.GetStatic(kIdLastEvent)) last->SetText("Last: " + line.substr(6));
  if (eventCode == kEventButtonClicked && controlId == kIdChangeDevice) demo.settings.SetActive(true);
}

bool ModifyDeviceSettings(FrameworkDeviceSettings* settings, void* context) {
  Demo& demo = *static_cast<Demo*>(context);
  if (demo.firstSettings && settings->device.driverType == Platform::DriverType::Reference)
    FrameworkShowReferenceDeviceWarning();
  demo.firstSettings = false;
  return true;
}

Platform::Result DeviceCreated(Platform::GraphicsDevice* device, const Platform::SurfaceDescription*, void* context) {
  Demo& demo = *static_cast<Demo*>(context);
  std::printf("device %s\n", device->RendererName().c_str());
  std::fflush(stdout);
  Platform::Result result = demo.manager.OnDeviceCreated(device);
  if (Platform::Succeeded(result)) result = demo.settings.OnDeviceCreated(device);
  return result;
}

Platform::Result SwapChainResized(Platform::GraphicsDevice* device, const Platform::SurfaceDescription* backBuffer,
                                  void* context) {
  Demo& demo = *static_cast<Demo*>(context);
  demo.controls.SetLocation(16, 16);
  demo.second.SetLocation(static_cast<int>(backBuffer->width) - kSecondWidth - 16, 16);
  Platform::Result result = demo.manager.OnSwapChainResized(device, *backBuffer);
  if (Platform::Succeeded(result)) result = demo.settings.OnSwapChainResized(device, *backBuffer);
  return result;
}

void SwapChainReleasing(void* context) {
  Demo& demo = *static_cast<Demo*>(context);
  demo.settings.OnSwapChainReleasing();
  demo.manager.OnSwapChainReleasing();
}

void DeviceDestroyed(void* context) {
  Demo& demo = *static_cast<Demo*>(context);
  demo.settings.OnDeviceDestroyed();
  demo.manager.OnDeviceDestroyed();
}

void FrameRender(Platform::GraphicsDevice* device, double, float elapsed, void* context) {
  Demo& demo = *static_cast<Demo*>(context);
  const float background[4] = {0.30f, 0.34f, 0.40f, 1.0f};
  device->SetRenderTargets(FrameworkGetBackBufferView(), FrameworkGetDepthStencilView());
  device->ClearRenderTargetView(FrameworkGetBackBufferView(), background);
  device->ClearDepthStencilView(FrameworkGetDepthStencilView(), 1.0f);
  if (demo.settings.IsActive()) {
    demo.settings.Render(elapsed);
    return;
  }
  demo.controls.Render(elapsed);
  demo.second.Render(elapsed);
}

void OnEvent(Platform::Window* window, const Platform::WindowEvent& event, bool* noFurtherProcessing, void* context) {
  Demo& demo = *static_cast<Demo*>(context);
  if (demo.settings.IsActive()) {
    *noFurtherProcessing = demo.settings.HandleEvent(window, event);
    return;
  }
  *noFurtherProcessing = demo.manager.HandleEvent(window, event) || demo.controls.HandleEvent(window, event) ||
                         demo.second.HandleEvent(window, event);
}

}  // namespace

int main(int argc, char** argv) {
  if (const int status = CheckProgramArguments(argc, argv, "gui-demo", kAbout); status >= 0) return status;

  static Demo demo;
  demo.controls.Init(&demo.manager);
  demo.controls.SetCallback(OnGuiEvent, &demo);
  BuildControlsDialog(demo.controls);
  demo.second.Init(&demo.manager);
  demo.second.SetCallback(OnGuiEvent, &demo);
  BuildSecondDialog(demo.second);
  demo.settings.Init();

  FrameworkSetCallbackModifyDeviceSettings(ModifyDeviceSettings, &demo);
  FrameworkSetCallbackDeviceCreated(DeviceCreated, &demo);
  FrameworkSetCallbackSwapChainResized(SwapChainResized, &demo);
  FrameworkSetCallbackSwapChainReleasing(SwapChainReleasing, &demo);
  FrameworkSetCallbackDeviceDestroyed(DeviceDestroyed, &demo);
  FrameworkSetCallbackFrameRender(FrameRender, &demo);
  FrameworkSetCallbackEvent(OnEvent, &demo);

  // The toolkit's colours are written for a plain 8-bit back buffer; an sRGB one washes them out.
  FrameworkSetGammaCorrectMode(false);
  FrameworkInit(true, true, nullptr, false);
  FrameworkCreateWindow("Patinex GUI demo");
  FrameworkCreateDevice(true, 800, 600);
  FrameworkMainLoop();
  // The dialogs' device objects go while the demo's own objects still exist.
  FrameworkShutdown(0);
  return FrameworkGetExitCode();
}
