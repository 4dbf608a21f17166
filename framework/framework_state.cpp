#include "framework/framework_state.h"

FrameworkState::FrameworkState() = default;

FrameworkState::~FrameworkState() { FrameworkShutdown(0); }

FrameworkState& GetFrameworkState() {
  // Made on first use, so callers running before main find it ready; destroyed at exit.
  static FrameworkState state;
  return state;
}

FrameworkStateLock::FrameworkStateLock() : locked(GetFrameworkState().threadSafe) {
  if (locked) GetFrameworkState().lock.lock();
}

FrameworkStateLock::~FrameworkStateLock() {
  if (locked) GetFrameworkState().lock.unlock();
}

#define FRAMEWORK_SETTER(Kind, Field)                                                   \
  void FrameworkSetCallback##Kind(Framework##Kind##Callback callback, void* userContext) { \
    FrameworkStateLock guard;                                                           \
    FrameworkCallbacks& callbacks = GetFrameworkState().callbacks;                      \
    callbacks.Field = callback;                                                         \
    callbacks.Field##Context = userContext;                                             \
  }

FRAMEWORK_SETTER(IsDeviceAcceptable, isDeviceAcceptable)
FRAMEWORK_SETTER(ModifyDeviceSettings, modifyDeviceSettings)
FRAMEWORK_SETTER(DeviceCreated, deviceCreated)
FRAMEWORK_SETTER(SwapChainResized, swapChainResized)
FRAMEWORK_SETTER(SwapChainReleasing, swapChainReleasing)
FRAMEWORK_SETTER(DeviceDestroyed, deviceDestroyed)
FRAMEWORK_SETTER(FrameMove, frameMove)
FRAMEWORK_SETTER(FrameRender, frameRender)
FRAMEWORK_SETTER(Event, event)
FRAMEWORK_SETTER(Keyboard, keyboard)
FRAMEWORK_SETTER(Mouse, mouse)

#undef FRAMEWORK_SETTER

void FrameworkSetGammaCorrectMode(bool gammaCorrect) {
  FrameworkStateLock guard;
  GetFrameworkState().gammaCorrect = gammaCorrect;
}

void FrameworkSetCursorSettings(bool showCursorWhenFullScreen, bool clipCursorWhenFullScreen) {
  FrameworkStateLock guard;
  FrameworkState& state = GetFrameworkState();
  state.showCursorWhenFullScreen = showCursorWhenFullScreen;
  state.clipCursorWhenFullScreen = clipCursorWhenFullScreen;
  if (state.window && state.window->IsFullScreen()) {
    Platform::ShowCursor(showCursorWhenFullScreen);
    state.window->ClipCursor(clipCursorWhenFullScreen);
  }
}

void FrameworkPause(bool pauseTime, bool pauseRendering) {
  FrameworkStateLock guard;
  FrameworkState& state = GetFrameworkState();
  state.pauses.Pause(pauseTime, pauseRendering);
  if (state.pauses.TimePaused()) {
    state.timer.Stop();
  } else {
    state.timer.Start();
  }
}

bool FrameworkIsTimePaused() {
  FrameworkStateLock guard;
  return GetFrameworkState().pauses.TimePaused();
}

bool FrameworkIsRenderingPaused() {
  FrameworkStateLock guard;
  return GetFrameworkState().pauses.RenderingPaused();
}

int FrameworkGetExitCode() {
  FrameworkStateLock guard;
  return GetFrameworkState().exitCode;
}

Platform::GraphicsDevice* FrameworkGetDevice() {
  FrameworkStateLock guard;
  return GetFrameworkState().device.get();
}

Platform::RenderTargetView* FrameworkGetBackBufferView() {
  FrameworkStateLock guard;
  FrameworkState& state = GetFrameworkState();
  return state.device ? state.device->BackBufferView() : nullptr;
}

Platform::DepthStencilView* FrameworkGetDepthStencilView() {
  FrameworkStateLock guard;
  FrameworkState& state = GetFrameworkState();
  return state.device ? state.device->DepthStencilBufferView() : nullptr;
}

Platform::SurfaceDescription FrameworkGetBackBufferDescription() {
  FrameworkStateLock guard;
  return GetFrameworkState().backBuffer;
}

FrameworkDeviceSettings FrameworkGetDeviceSettings() {
  FrameworkStateLock guard;
  return GetFrameworkState().settings;
}

Platform::Window* FrameworkGetWindow() {
  FrameworkStateLock guard;
  return GetFrameworkState().window.get();
}

double FrameworkGetTime() {
  FrameworkStateLock guard;
  return GetFrameworkState().frame.time;
}

float FrameworkGetElapsedTime() {
  FrameworkStateLock guard;
  return GetFrameworkState().frame.elapsed;
}

double FrameworkGetAbsoluteTime() {
  FrameworkStateLock guard;
  return GetFrameworkState().frame.absoluteTime;
}

const char* FrameworkGetFrameRateText() {
  FrameworkStateLock guard;
  return GetFrameworkState().statistics.FrameRateText();
}

float FrameworkGetFramesPerSecond() {
  FrameworkStateLock guard;
  return GetFrameworkState().statistics.FramesPerSecond();
}

bool FrameworkIsWindowed() {
  FrameworkStateLock guard;
  return GetFrameworkState().settings.windowed;
}

bool FrameworkIsActive() {
  FrameworkStateLock guard;
  FrameworkState& state = GetFrameworkState();
  return state.window && !state.window->IsDestroyed() && state.window->IsActive();
}

bool FrameworkIsKeyDown(uint32_t virtualKey) {
  FrameworkStateLock guard;
  return virtualKey < 256 && GetFrameworkState().keys[virtualKey];
}

bool FrameworkIsAutomation() {
  FrameworkStateLock guard;
  return GetFrameworkState().options.automation;
}
