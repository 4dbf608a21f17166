#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/result.h"
#include "platform/key_codes.h"
#include "platform/point.h"
#include "platform/window_event.h"

struct SDL_Window;

// The program's windows. System events are translated into the records of window_event.h; a
// window hands each event dispatched or sent to it to its window procedure (the queue and its
// loop are in event_pump.h). Everything here runs on the window thread only.
//
// Sizes and mouse coordinates are in drawable pixels (on a high-density display one window unit
// may be several pixels): the mouse is scaled to match.
namespace Platform {

// Pass as both x and y to let the system place a window.
inline constexpr int kDefaultPosition = INT32_MIN;

struct WindowState;

class Window {
public:
  // Creates and shows a resizable window made for OpenGL drawing, with a client area of
  // clientWidth x clientHeight pixels at (x, y) on the screen (kDefaultPosition: where the
  // system likes). Starts the video subsystem when no window holds it, on the display the
  // environment names (DISPLAY, WAYLAND_DISPLAY) or with the driver SDL_VIDEODRIVER names. On
  // failure (no display among them) returns null and, when error is given, says why.
  static std::unique_ptr<Window> Create(const std::string& title, int x, int y, int clientWidth, int clientHeight,
                                        WindowProcedure procedure, std::string* error);
  // Destroys the window if Destroy has not; the video subsystem stops with the last window.
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Sends Destroy to the procedure, then destroys the system window. Safe to call twice.
  void Destroy();
  bool IsDestroyed() const;

  SDL_Window* SdlWindow() const;
  // A non-zero number naming this window in events (CaptureLost's capturedBy).
  uintptr_t Handle() const;

  void SetProcedure(WindowProcedure procedure);
  // Hands the event to the procedure at once.
  void Send(const WindowEvent& event);

  void SetTitle(const std::string& title);
  std::string Title() const;

  // The client area in drawable pixels.
  void GetClientSize(int* width, int* height) const;
  void SetClientSize(int width, int height);
  // The smallest client area the user can drag the window to.
  void SetMinimumClientSize(int width, int height);
  Point Position() const;
  void SetPosition(int x, int y);
  // Drawable pixels per window unit (1 on ordinary displays).
  float PixelScale() const;

  void Show();
  void Hide();
  void Minimize();
  void Maximize();
  void Restore();
  bool IsMinimized() const;
  bool IsMaximized() const;
  bool IsVisible() const;
  // Has the keyboard focus. A window that is shown and not minimised counts as active until the
  // system reports a focus change: without a window manager (a bare X server) focus may never
  // arrive.
  bool IsActive() const;
  // Hidden or minimised: nothing drawn would be seen.
  bool IsOccluded() const;

  // Full screen at the desktop's resolution, or back to the window it was.
  Result SetFullScreen(bool fullScreen);
  bool IsFullScreen() const;

  // Mouse capture: while captured, the window gets mouse events even outside its client area.
  // Taking or releasing it sends CaptureLost to the window losing it.
  void SetCapture();
  void ReleaseCapture();
  bool HasCapture() const;
  // Keeps the cursor inside the window (full screen).
  void ClipCursor(bool clip);

  // The cursor relative to the client area, in drawable pixels.
  Point CursorPosition() const;
  void SetCursorPosition(Point clientPoint);

private:
  Window();
  std::unique_ptr<WindowState> state;
};

// For a program that only draws into targets and reads them back: when no display can be
// opened, its windows are then made off screen instead of failing. Call before the first window.
void PermitOffScreenWindows();

// The window holding the mouse capture, or null.
Window* GetCapture();
void ReleaseCapture();
// The window with the keyboard focus, else the most recently created live window, or null.
Window* ForegroundWindow();
// The cursor on the screen, in drawable pixels of the foreground window.
Point GetCursorPos();
void ShowCursor(bool show);

// Whether a key (a virtual-key code, VK_LBUTTON.. for mouse buttons) is down now.
bool IsKeyDown(uint32_t virtualKey);
// Toggles of lock keys (VK_CAPITAL, VK_NUMLOCK, VK_SCROLL).
bool IsKeyToggled(uint32_t virtualKey);

// Character input (Text events) is on only while text input is started.
void StartTextInput();
void StopTextInput();

// The clipboard holds UTF-8 text.
bool SetClipboardText(const std::string& text);
std::string GetClipboardText();

// The caret blink period and the longest pause between the clicks of a double click.
uint32_t CaretBlinkMilliseconds();
uint32_t DoubleClickMilliseconds();

enum class MessageBoxIcon { None, Error, Warning, Information, Question };
// A modal message box. Button texts may carry '&' mnemonics, which are not shown. Returns the
// index of the button pressed, or -1 when the box could not be shown (no display, for one) or
// was dismissed; callers say the message elsewhere too, so a box not shown prints nothing.
// Enter presses enterButton; Escape presses escapeButton, or with -1 the only button of a box
// that has one.
int ShowMessageBox(Window* parent, const std::string& title, const std::string& text, MessageBoxIcon icon,
                   const std::vector<std::string>& buttons, int enterButton = 0, int escapeButton = -1);

}  // namespace Platform
