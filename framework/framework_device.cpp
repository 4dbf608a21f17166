#include <algorithm>
#include <cstdio>

#include "framework/creation_failures.h"
#include "framework/framework_errors.h"
#include "framework/framework_state.h"

namespace {

// Marks a device callback as running, so the main loop cannot be entered from one.
class DeviceCallbackScope {
public:
  DeviceCallbackScope() { GetFrameworkState().insideDeviceCallback = true; }
  ~DeviceCallbackScope() { GetFrameworkState().insideDeviceCallback = false; }
};

Platform::Result RunDeviceCreated() {
  FrameworkState& state = GetFrameworkState();
  state.deviceCreatedCalled = true;
  if (!state.callbacks.deviceCreated) return Platform::kOk;
  DeviceCallbackScope scope;
  const Platform::Result result =
      state.callbacks.deviceCreated(state.device.get(), &state.backBuffer, state.callbacks.deviceCreatedContext);
  if (Platform::Succeeded(result) || result == kFrameworkMediaNotFound) return result;
  return kFrameworkDeviceCreatedCallback;
}

Platform::Result RunSwapChainResized() {
  FrameworkState& state = GetFrameworkState();
  state.swapChainResizedCalled = true;
  if (!state.callbacks.swapChainResized) return Platform::kOk;
  DeviceCallbackScope scope;
  const Platform::Result result = state.callbacks.swapChainResized(state.device.get(), &state.backBuffer,
                                                                   state.callbacks.swapChainResizedContext);
  if (Platform::Succeeded(result) || result == kFrameworkMediaNotFound) return result;
  return kFrameworkSwapChainResizedCallback;
}

void RunSwapChainReleasing() {
  FrameworkState& state = GetFrameworkState();
  if (!state.swapChainResizedCalled) return;
  state.swapChainResizedCalled = false;
  if (!state.callbacks.swapChainReleasing) return;
  DeviceCallbackScope scope;
  state.callbacks.swapChainReleasing(state.callbacks.swapChainReleasingContext);
}

void RunDeviceDestroyed() {
  FrameworkState& state = GetFrameworkState();
  if (!state.deviceCreatedCalled) return;
  state.deviceCreatedCalled = false;
  if (!state.callbacks.deviceDestroyed) return;
  DeviceCallbackScope scope;
  state.callbacks.deviceDestroyed(state.callbacks.deviceDestroyedContext);
}

void RememberWindowedSize() {
  FrameworkState& state = GetFrameworkState();
  if (!state.settings.windowed) return;
  state.windowedWidth = state.backBuffer.width;
  state.windowedHeight = state.backBuffer.height;
}

Platform::Result ResizeSwapChain(uint32_t width, uint32_t height) {
  FrameworkState& state = GetFrameworkState();
  RunSwapChainReleasing();
  const Platform::Result resized = state.device->ResizeBuffers(width, height);
  if (Platform::Failed(resized)) {
    std::fprintf(stderr, "Resizing the back buffer to %ux%u failed.\n", width, height);
    return kFrameworkResettingDevice;
  }
  state.backBuffer = state.device->BackBufferDescription();
  state.settings.width = state.backBuffer.width;
  state.settings.height = state.backBuffer.height;
  RememberWindowedSize();
  return RunSwapChainResized();
}

// Replaces the window (same title, place, size and mode) so the video subsystem starts again with
// another rasteriser. Mesa picks its driver when the display opens, and the display closes with
// the last window; the device must be gone already. When an earlier replacement failed there is
// no window, and the new one takes the place the last one had.
Platform::Result ReplaceWindow(Platform::DriverType driver) {
  FrameworkState& state = GetFrameworkState();
  WindowPlacement& placement = state.windowPlacement;
  if (state.window) {
    placement.title = state.window->Title();
    placement.position = state.window->Position();
    state.window->GetClientSize(&placement.width, &placement.height);
    placement.fullScreen = state.window->IsFullScreen();
    if (placement.fullScreen) {
      placement.width = static_cast<int>(state.windowedWidth);
      placement.height = static_cast<int>(state.windowedHeight);
    }
    state.replacingWindow = true;
    state.window->Destroy();
    state.replacingWindow = false;
    // Under the window's own procedure the object must outlive the call; the main loop frees it.
    if (state.windowProcedureDepth > 0) state.retiredWindows.push_back(std::move(state.window));
    state.window.reset();
  }

  Platform::SelectDriver(driver);
  state.startedDriver = driver;
  std::string error = "made to fail on purpose (PATINEX_FAIL_CREATION)";
  if (!CreationFailsOnPurpose(CreationKind::Window)) {
    state.window = Platform::Window::Create(placement.title, placement.position.x, placement.position.y,
                                            std::max(placement.width, 200), std::max(placement.height, 200),
                                            FrameworkWindowProcedure, &error);
  }
  if (!state.window) {
    std::fprintf(stderr, "Could not create the window again: %s\n", error.c_str());
    return kFrameworkCreatingDevice;
  }
  state.window->SetMinimumClientSize(200, 200);
  if (placement.fullScreen) state.window->SetFullScreen(true);
  return Platform::kOk;
}

// Brings window, device and back buffer to the settings, running the callbacks in pairs.
Platform::Result ApplySettings(const FrameworkDeviceSettings& wanted) {
  FrameworkState& state = GetFrameworkState();
  // Every change goes through the full release and creation, so the application sees each one
  // (after a change it starts with no model loaded, whatever the change was).
  const bool hadDevice = state.device != nullptr;
  if (hadDevice) ReleaseDevice();
  if (!state.window || wanted.device.driverType != state.startedDriver) {
    const Platform::Result replaced = ReplaceWindow(wanted.device.driverType);
    if (Platform::Failed(replaced)) return replaced;
  }

  if (state.window->IsFullScreen() != !wanted.windowed) state.window->SetFullScreen(!wanted.windowed);
  if (wanted.windowed && wanted.width > 0 && wanted.height > 0) {
    int width = 0;
    int height = 0;
    state.window->GetClientSize(&width, &height);
    if (static_cast<uint32_t>(width) != wanted.width || static_cast<uint32_t>(height) != wanted.height)
      state.window->SetClientSize(static_cast<int>(wanted.width), static_cast<int>(wanted.height));
  }

  state.settings = wanted;
  std::string error = "made to fail on purpose (PATINEX_FAIL_CREATION)";
  const Platform::Result created =
      CreationFailsOnPurpose(CreationKind::Device)
          ? Platform::kFail
          : Platform::GraphicsDevice::Create(state.window->SdlWindow(), wanted.device, &state.device, &error);
  if (Platform::Failed(created) || !state.device) {
    state.device.reset();
    std::fprintf(stderr, "Could not create the OpenGL device (%s): %s\n", Platform::DriverTypeName(wanted.device.driverType),
                 error.c_str());
    return hadDevice ? kFrameworkCreatingDevice : kFrameworkNoGraphics;
  }
  state.backBuffer = state.device->BackBufferDescription();
  state.settings.width = state.backBuffer.width;
  state.settings.height = state.backBuffer.height;
  RememberWindowedSize();
  const Platform::Result createdCallback = RunDeviceCreated();
  if (Platform::Failed(createdCallback)) return createdCallback;
  return RunSwapChainResized();
}

// A change abandoned by the modify-device-settings callback.
constexpr Platform::Result kChangeAbandoned = Platform::kFalse;

Platform::Result ChangeDevice(FrameworkDeviceSettings wanted, bool creating) {
  FrameworkState& state = GetFrameworkState();
  if (!state.window || state.window->IsDestroyed()) return Platform::kFail;
  if (state.callbacks.modifyDeviceSettings) {
    bool keep = false;
    {
      DeviceCallbackScope scope;
      keep = state.callbacks.modifyDeviceSettings(&wanted, state.callbacks.modifyDeviceSettingsContext);
    }
    if (state.shuttingDown) return kChangeAbandoned;  // "No" in the reference-device warning
    if (!keep) return creating ? kFrameworkNoCompatibleDevices : kChangeAbandoned;
  }
  const Platform::Format format =
      wanted.device.srgbBackBuffer ? Platform::Format::R8G8B8A8_UNORM_SRGB : Platform::Format::R8G8B8A8_UNORM;
  if (state.callbacks.isDeviceAcceptable &&
      !state.callbacks.isDeviceAcceptable(static_cast<uint32_t>(std::max(wanted.adapter, 0)),
                                          static_cast<uint32_t>(std::max(wanted.output, 0)), wanted.device.driverType,
                                          format, wanted.windowed, state.callbacks.isDeviceAcceptableContext)) {
    return kFrameworkNoCompatibleDevices;
  }

  const FrameworkDeviceSettings previous = state.settings;
  const bool hadDevice = state.device != nullptr;
  FrameworkPause(true, true);
  Platform::Result result = ApplySettings(wanted);
  if (Platform::Failed(result) && hadDevice && !state.shuttingDown) {
    std::fprintf(stderr, "Changing the device failed; going back to the previous settings.\n");
    const Platform::Result restored = ApplySettings(previous);
    if (Platform::Failed(restored)) {
      FrameworkReportError(result);
      FrameworkShutdown(FrameworkErrorFor(result).exitCode);
    }
  }
  FrameworkPause(false, false);
  return result;
}

}  // namespace

void ReleaseDevice() {
  FrameworkState& state = GetFrameworkState();
  RunSwapChainReleasing();
  RunDeviceDestroyed();
  state.device.reset();
}

Platform::Result RecreateDevice() {
  FrameworkState& state = GetFrameworkState();
  if (!state.window || state.window->IsDestroyed()) return Platform::kFail;
  ReleaseDevice();
  return ApplySettings(FrameworkDeviceSettings(state.settings));
}

void CheckForWindowSizeChange() {
  FrameworkState& state = GetFrameworkState();
  if (!state.device || !state.window || state.window->IsDestroyed() || state.minimized) return;
  int width = 0;
  int height = 0;
  state.window->GetClientSize(&width, &height);
  if (width <= 0 || height <= 0) return;
  if (static_cast<uint32_t>(width) == state.backBuffer.width && static_cast<uint32_t>(height) == state.backBuffer.height)
    return;
  const Platform::Result result = ResizeSwapChain(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  if (Platform::Failed(result)) {
    FrameworkReportError(result);
    FrameworkShutdown(FrameworkErrorFor(result).exitCode);
  }
}

Platform::Result CreateDeviceInternal(bool windowed, int width, int height) {
  FrameworkState& state = GetFrameworkState();
  if (!state.initCalled) FrameworkInit(true, true, nullptr, false);
  if (!state.initialized) return Platform::kFail;
  if (!state.window) {
    // A window that could not be made was reported already; trying again would say it twice.
    const Platform::Result window =
        state.windowCreateFailed ? Platform::kFail : FrameworkCreateWindow("OpenGL Window");
    if (Platform::Failed(window)) {
      state.deviceCreateFailed = true;
      return window;
    }
  }
  if (state.device) return Platform::kOk;

  const CommandLineOptions& options = state.options;
  FrameworkDeviceSettings settings;
  settings.windowed = windowed;
  settings.width = static_cast<uint32_t>(std::max(width, 0));
  settings.height = static_cast<uint32_t>(std::max(height, 0));
  if (options.width > 0) settings.width = static_cast<uint32_t>(options.width);
  if (options.height > 0) settings.height = static_cast<uint32_t>(options.height);
  if (options.windowed) settings.windowed = true;
  if (options.fullScreen) settings.windowed = false;
  if (options.adapter >= 0) settings.adapter = options.adapter;
  if (options.output >= 0) settings.output = options.output;
  if (options.forceHardware) settings.device.driverType = Platform::DriverType::Hardware;
  if (options.forceWarp) settings.device.driverType = Platform::DriverType::Warp;
  if (options.forceReference) settings.device.driverType = Platform::DriverType::Reference;
  if (options.forceVsync >= 0) settings.device.syncInterval = static_cast<uint32_t>(options.forceVsync);
  settings.device.srgbBackBuffer = state.gammaCorrect;
  if (settings.windowed) {
    if (settings.width > 0) settings.width = std::max<uint32_t>(settings.width, 200);
    if (settings.height > 0) settings.height = std::max<uint32_t>(settings.height, 200);
  } else if (options.width <= 0 || options.height <= 0) {
    settings.width = settings.height = 0;  // full screen keeps the desktop's resolution
  }
  const Platform::Result result = ChangeDevice(settings, true);
  if (Platform::Failed(result)) {
    state.deviceCreateFailed = true;
    ReleaseDevice();
    FrameworkReportError(result);
  }
  return result;
}

Platform::Result FrameworkCreateDevice(bool windowed, int width, int height) {
  if (GetFrameworkState().insideMainLoop) return Platform::kFail;
  return CreateDeviceInternal(windowed, width, height);
}

Platform::Result FrameworkChangeDevice(const FrameworkDeviceSettings& settings) {
  FrameworkState& state = GetFrameworkState();
  if (!state.device) return Platform::kFail;
  if (state.windowProcedureDepth > 0 || state.insideDeviceCallback) {
    // A settings dialog's OK arrives under the window procedure; a new driver replaces the window.
    state.pendingChange = PendingDeviceChange::Settings;
    state.pendingSettings = settings;
    return Platform::kOk;
  }
  return ChangeDevice(settings, false);
}

Platform::Result FrameworkToggleFullScreen() {
  FrameworkState& state = GetFrameworkState();
  if (!state.device) return Platform::kFail;
  FrameworkDeviceSettings settings = state.settings;
  settings.windowed = !settings.windowed;
  if (settings.windowed) {
    settings.width = state.windowedWidth;
    settings.height = state.windowedHeight;
  } else {
    settings.width = settings.height = 0;  // the desktop's resolution
  }
  // The device is made anew: under the window procedure (a button, Alt+Enter) the change waits
  // for the main loop, like any other.
  return FrameworkChangeDevice(settings);
}

namespace {

Platform::Result ToggleDriver(PendingDeviceChange change) {
  FrameworkState& state = GetFrameworkState();
  if (!state.device) return Platform::kFail;
  if (state.windowProcedureDepth > 0) {
    // The window is replaced; not under its own procedure.
    state.pendingChange = change;
    return Platform::kOk;
  }
  FrameworkDeviceSettings settings = state.settings;
  Platform::DriverType& driver = settings.device.driverType;
  if (change == PendingDeviceChange::ToggleReference) {
    driver = driver == Platform::DriverType::Reference ? Platform::DriverType::Hardware
                                                       : Platform::DriverType::Reference;
  } else {
    driver = driver == Platform::DriverType::Warp ? Platform::DriverType::Hardware : Platform::DriverType::Warp;
  }
  return ChangeDevice(settings, false);
}

}  // namespace

Platform::Result FrameworkToggleREF() { return ToggleDriver(PendingDeviceChange::ToggleReference); }

Platform::Result FrameworkToggleWARP() { return ToggleDriver(PendingDeviceChange::ToggleWarp); }

void RunPendingDeviceChange() {
  FrameworkState& state = GetFrameworkState();
  const PendingDeviceChange change = state.pendingChange;
  state.pendingChange = PendingDeviceChange::None;
  if (change != PendingDeviceChange::None) state.frameSchedule.RequestNow();  // a new device shows at once
  if (change == PendingDeviceChange::Settings) FrameworkChangeDevice(state.pendingSettings);
  else if (change != PendingDeviceChange::None) ToggleDriver(change);
}
