#pragma once

#include <cstdint>
#include <string>

#include "framework/media_search.h"
#include "platform/graphics_device.h"
#include "platform/result.h"
#include "platform/window.h"
#include "platform/window_event.h"

// The application framework: one window, its graphics device, the frame timer and the main loop,
// calling the application through the callbacks registered below. It runs on the window thread;
// its state is one process-wide record, destroyed at exit (which shuts the framework down).

// The framework's own failures. Each ends the program with its exit code (see framework_errors.h).
inline constexpr Platform::Result kFrameworkNoGraphics = Platform::MakeResult(0x80040901);
inline constexpr Platform::Result kFrameworkNoCompatibleDevices = Platform::MakeResult(0x80040902);
// kFrameworkMediaNotFound (0x80040903) is declared in media_search.h.
inline constexpr Platform::Result kFrameworkDeviceStillReferenced = Platform::MakeResult(0x80040904);
inline constexpr Platform::Result kFrameworkCreatingDevice = Platform::MakeResult(0x80040905);
inline constexpr Platform::Result kFrameworkResettingDevice = Platform::MakeResult(0x80040906);
inline constexpr Platform::Result kFrameworkDeviceCreatedCallback = Platform::MakeResult(0x80040907);
inline constexpr Platform::Result kFrameworkSwapChainResizedCallback = Platform::MakeResult(0x80040908);
inline constexpr Platform::Result kFrameworkDeviceRemoved = Platform::MakeResult(0x8004090A);

// What a device is made with: the platform's settings plus the window mode and back-buffer size
// (0: the window's client size).
struct FrameworkDeviceSettings {
  Platform::DeviceSettings device;
  bool windowed = true;
  uint32_t width = 0;
  uint32_t height = 0;
  int adapter = 0;
  int output = 0;
};

using FrameworkIsDeviceAcceptableCallback = bool (*)(uint32_t adapter, uint32_t output,
                                                     Platform::DriverType driverType,
                                                     Platform::Format backBufferFormat, bool windowed,
                                                     void* userContext);
// Returning false rejects the settings (a change is then abandoned).
using FrameworkModifyDeviceSettingsCallback = bool (*)(FrameworkDeviceSettings* settings, void* userContext);
using FrameworkDeviceCreatedCallback = Platform::Result (*)(Platform::GraphicsDevice* device,
                                                            const Platform::SurfaceDescription* backBuffer,
                                                            void* userContext);
// The back buffer lives in the device; it is resized in place.
using FrameworkSwapChainResizedCallback = Platform::Result (*)(Platform::GraphicsDevice* device,
                                                               const Platform::SurfaceDescription* backBuffer,
                                                               void* userContext);
using FrameworkSwapChainReleasingCallback = void (*)(void* userContext);
using FrameworkDeviceDestroyedCallback = void (*)(void* userContext);
using FrameworkFrameMoveCallback = void (*)(double time, float elapsedTime, void* userContext);
using FrameworkFrameRenderCallback = void (*)(Platform::GraphicsDevice* device, double time, float elapsedTime,
                                              void* userContext);
// Every event of the window, before the framework's own handling; setting noFurtherProcessing
// keeps it from the framework (Escape closing the window, say).
using FrameworkEventCallback = void (*)(Platform::Window* window, const Platform::WindowEvent& event,
                                        bool* noFurtherProcessing, void* userContext);
using FrameworkKeyboardCallback = void (*)(uint32_t virtualKey, bool keyDown, bool altDown, void* userContext);
using FrameworkMouseCallback = void (*)(bool leftButtonDown, bool rightButtonDown, bool middleButtonDown,
                                        bool side1ButtonDown, bool side2ButtonDown, int wheelDelta, int x, int y,
                                        void* userContext);

void FrameworkSetCallbackIsDeviceAcceptable(FrameworkIsDeviceAcceptableCallback callback, void* userContext = nullptr);
void FrameworkSetCallbackModifyDeviceSettings(FrameworkModifyDeviceSettingsCallback callback,
                                              void* userContext = nullptr);
void FrameworkSetCallbackDeviceCreated(FrameworkDeviceCreatedCallback callback, void* userContext = nullptr);
void FrameworkSetCallbackSwapChainResized(FrameworkSwapChainResizedCallback callback, void* userContext = nullptr);
void FrameworkSetCallbackSwapChainReleasing(FrameworkSwapChainReleasingCallback callback, void* userContext = nullptr);
void FrameworkSetCallbackDeviceDestroyed(FrameworkDeviceDestroyedCallback callback, void* userContext = nullptr);
void FrameworkSetCallbackFrameMove(FrameworkFrameMoveCallback callback, void* userContext = nullptr);
void FrameworkSetCallbackFrameRender(FrameworkFrameRenderCallback callback, void* userContext = nullptr);
void FrameworkSetCallbackEvent(FrameworkEventCallback callback, void* userContext = nullptr);
void FrameworkSetCallbackKeyboard(FrameworkKeyboardCallback callback, void* userContext = nullptr);
void FrameworkSetCallbackMouse(FrameworkMouseCallback callback, void* userContext = nullptr);

// Start-up, in this order.
// An sRGB back buffer (on) or a plain 8-bit one (off). On by default.
void FrameworkSetGammaCorrectMode(bool gammaCorrect);
// Reads the command line of the process (without the program name) when parseCommandLine is set,
// then the words of extraCommandLine. An invalid option value is reported (a message box when
// showMessageBoxOnError and not -noerrormsgboxes, and on stderr), sets exit code 1 and fails, and
// every later start-up step fails too.
Platform::Result FrameworkInit(bool parseCommandLine = true, bool showMessageBoxOnError = true,
                               const char* extraCommandLine = nullptr, bool threadSafe = true);
void FrameworkSetCursorSettings(bool showCursorWhenFullScreen, bool clipCursorWhenFullScreen);
// Client size 640 x 480 unless -width/-height say otherwise; at (x, y), or -startx/-starty.
Platform::Result FrameworkCreateWindow(const char* title = "Patinex", int x = Platform::kDefaultPosition,
                                       int y = Platform::kDefaultPosition);
// width/height 0: the window's client size. Command-line options override the request.
Platform::Result FrameworkCreateDevice(bool windowed, int width, int height);
// Runs until the window closes: a waiting event is dispatched, else one frame is drawn (on
// demand: only when one is owed, else it waits for an event or the time a frame was asked for).
Platform::Result FrameworkMainLoop();
// Drawing on demand, off by default. On demand the main loop draws a frame only after it has
// handled an event or when a frame asked for with FrameworkRequestFrame falls due; otherwise it
// sleeps until the next event. With -quitafterframe or -constantframetime it still draws
// every turn, as those count or pace frames.
void FrameworkSetRenderOnDemand(bool onDemand);
// Asks for a frame within withinSeconds from now (0: once the waiting events are handled). The
// earliest request counts, and each frame starts with none: whatever keeps changing asks again
// every frame.
void FrameworkRequestFrame(float withinSeconds = 0.0f);
int FrameworkGetExitCode();

// Ends the framework: closes the window, releases the device (running the swap-chain releasing
// and device-destroyed callbacks) and sets the exit code unless an error set one already. Also
// runs when the framework's state is destroyed at exit.
void FrameworkShutdown(int exitCode = 0);

void FrameworkPause(bool pauseTime, bool pauseRendering);
bool FrameworkIsTimePaused();
bool FrameworkIsRenderingPaused();

Platform::Result FrameworkToggleFullScreen();
// The reference rasteriser (Mesa's softpipe) and back to the hardware driver.
Platform::Result FrameworkToggleREF();
// The fast software rasteriser (Mesa's llvmpipe) and back to the hardware driver.
Platform::Result FrameworkToggleWARP();
// Makes a device with the settings (running the callbacks in pairs); on failure the previous
// settings come back. Asked for under the window procedure or a device callback, the change
// waits for the main loop's next turn.
Platform::Result FrameworkChangeDevice(const FrameworkDeviceSettings& settings);

// Asks whether to go on with the slow reference device, unless the user chose not to be asked
// again or message boxes are off. "No" shuts the framework down with exit code 1. Meant for the
// first call of the modify-device-settings callback.
void FrameworkShowReferenceDeviceWarning();

// Getters.
Platform::GraphicsDevice* FrameworkGetDevice();
Platform::RenderTargetView* FrameworkGetBackBufferView();
Platform::DepthStencilView* FrameworkGetDepthStencilView();
Platform::SurfaceDescription FrameworkGetBackBufferDescription();
FrameworkDeviceSettings FrameworkGetDeviceSettings();
Platform::Window* FrameworkGetWindow();
double FrameworkGetTime();
float FrameworkGetElapsedTime();
double FrameworkGetAbsoluteTime();
const char* FrameworkGetFrameRateText();
float FrameworkGetFramesPerSecond();
bool FrameworkIsWindowed();
bool FrameworkIsActive();
// Whether a key (a virtual-key code) was down at its last key event.
bool FrameworkIsKeyDown(uint32_t virtualKey);
// Whether -automation was given.
bool FrameworkIsAutomation();
