#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/command_line.h"
#include "framework/frame_schedule.h"
#include "framework/frame_statistics.h"
#include "framework/frame_timer.h"
#include "framework/framework.h"
#include "framework/pause_counters.h"

// The framework's one process-wide record and the steps its parts share. Internal to framework/.

struct FrameworkCallbacks {
  FrameworkIsDeviceAcceptableCallback isDeviceAcceptable = nullptr;
  void* isDeviceAcceptableContext = nullptr;
  FrameworkModifyDeviceSettingsCallback modifyDeviceSettings = nullptr;
  void* modifyDeviceSettingsContext = nullptr;
  FrameworkDeviceCreatedCallback deviceCreated = nullptr;
  void* deviceCreatedContext = nullptr;
  FrameworkSwapChainResizedCallback swapChainResized = nullptr;
  void* swapChainResizedContext = nullptr;
  FrameworkSwapChainReleasingCallback swapChainReleasing = nullptr;
  void* swapChainReleasingContext = nullptr;
  FrameworkDeviceDestroyedCallback deviceDestroyed = nullptr;
  void* deviceDestroyedContext = nullptr;
  FrameworkFrameMoveCallback frameMove = nullptr;
  void* frameMoveContext = nullptr;
  FrameworkFrameRenderCallback frameRender = nullptr;
  void* frameRenderContext = nullptr;
  FrameworkEventCallback event = nullptr;
  void* eventContext = nullptr;
  FrameworkKeyboardCallback keyboard = nullptr;
  void* keyboardContext = nullptr;
  FrameworkMouseCallback mouse = nullptr;
  void* mouseContext = nullptr;
};

// A device change asked for while a window procedure runs waits for the main loop: changing the
// driver replaces the window, which must not happen under its own procedure.
enum class PendingDeviceChange { None, ToggleReference, ToggleWarp, Settings };

// Where a replaced window was, so its successor opens in the same place.
struct WindowPlacement {
  std::string title;
  Platform::Point position;
  int width = 0;
  int height = 0;
  bool fullScreen = false;
};

struct FrameworkState {
  FrameworkState();
  // Shuts the framework down at exit.
  ~FrameworkState();

  std::recursive_mutex lock;
  bool threadSafe = true;

  bool initCalled = false;
  bool initialized = false;
  bool showMessageBoxOnError = true;
  bool gammaCorrect = true;
  bool handleEscape = true;
  bool handleAltEnter = true;
  bool handlePause = true;
  bool showCursorWhenFullScreen = false;
  bool clipCursorWhenFullScreen = false;
  CommandLineOptions options;

  std::string windowTitle;
  std::unique_ptr<Platform::Window> window;
  bool windowCreateFailed = false;
  bool replacingWindow = false;
  WindowPlacement windowPlacement;
  std::vector<std::unique_ptr<Platform::Window>> retiredWindows;
  // The rasteriser the video subsystem was started with.
  Platform::DriverType startedDriver = Platform::DriverType::Hardware;
  int windowProcedureDepth = 0;

  std::unique_ptr<Platform::GraphicsDevice> device;
  FrameworkDeviceSettings settings;
  Platform::SurfaceDescription backBuffer;
  bool deviceCreatedCalled = false;
  bool swapChainResizedCalled = false;
  bool deviceCreateFailed = false;
  bool insideDeviceCallback = false;
  PendingDeviceChange pendingChange = PendingDeviceChange::None;
  FrameworkDeviceSettings pendingSettings;  // for PendingDeviceChange::Settings
  // The back-buffer sizes last used in each mode, for switching back.
  uint32_t windowedWidth = 0;
  uint32_t windowedHeight = 0;

  bool insideMainLoop = false;
  bool minimized = false;
  bool occluded = false;
  bool pauseKeyPaused = false;
  bool shuttingDown = false;
  bool shutDown = false;
  int exitCode = 0;
  bool exitCodeSetByError = false;

  FrameTimer timer;
  FrameTime frame;
  PauseCounters pauses;
  FrameStatistics statistics;
  uint64_t presentedFrames = 0;
  bool renderOnDemand = false;
  FrameSchedule frameSchedule;

  bool keys[256] = {};
  FrameworkCallbacks callbacks;
};

FrameworkState& GetFrameworkState();

// Holds the state's lock while thread-safe mode is on.
class FrameworkStateLock {
public:
  FrameworkStateLock();
  ~FrameworkStateLock();
  FrameworkStateLock(const FrameworkStateLock&) = delete;
  FrameworkStateLock& operator=(const FrameworkStateLock&) = delete;

private:
  bool locked;
};

// Steps shared between the framework's files.
void FrameworkWindowProcedure(Platform::Window* window, const Platform::WindowEvent& event);
Platform::Result CreateDeviceInternal(bool windowed, int width, int height);
// Runs the releasing and destroyed callbacks and destroys the device.
void ReleaseDevice();
// Makes the device again with the current settings, running the callbacks in pairs.
Platform::Result RecreateDevice();
// Follows a change of the window's client size with the back buffer.
void CheckForWindowSizeChange();
void RunPendingDeviceChange();
// One turn of the main loop: dispatches a waiting event, or draws a frame when one is owed, or
// waits for an event (on demand until a frame falls due), but at most longestWaitMilliseconds
// when that is not negative. False when the loop ends: the quit event came or the framework
// shut down.
bool MainLoopTurn(int longestWaitMilliseconds);
// Draws one frame (the main loop's step when no event waits).
void RenderFrame();
// Draws the current frame again without advancing time (a paint while paused).
void RenderPausedFrame();
