#include "framework/framework_state.h"

namespace {

using namespace Platform;

bool IsKeyMessage(uint32_t message) {
  return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
}

bool IsMouseMessage(uint32_t message) { return message >= WM_MOUSEMOVE && message <= WM_XBUTTONDBLCLK; }

class ProcedureDepth {
public:
  ProcedureDepth() { ++GetFrameworkState().windowProcedureDepth; }
  ~ProcedureDepth() { --GetFrameworkState().windowProcedureDepth; }
};

void HandleKey(uint32_t message, WPARAM wParam, LPARAM lParam) {
  FrameworkState& state = GetFrameworkState();
  const uint32_t key = static_cast<uint32_t>(wParam & 0xFF);
  const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
  state.keys[key] = down;
  const bool altDown = (lParam & (LPARAM(1) << 29)) != 0 || IsKeyDown(VK_MENU);
  if (state.callbacks.keyboard) state.callbacks.keyboard(key, down, altDown, state.callbacks.keyboardContext);
}

void HandleMouse(uint32_t message, WPARAM wParam, LPARAM lParam) {
  FrameworkState& state = GetFrameworkState();
  if (!state.callbacks.mouse) return;
  const int wheel = message == WM_MOUSEWHEEL ? static_cast<int16_t>(HighWord(wParam)) : 0;
  state.callbacks.mouse((wParam & MK_LBUTTON) != 0, (wParam & MK_RBUTTON) != 0, (wParam & MK_MBUTTON) != 0,
                        (wParam & MK_XBUTTON1) != 0, (wParam & MK_XBUTTON2) != 0, wheel, SignedLowWord(lParam),
                        SignedHighWord(lParam), state.callbacks.mouseContext);
}

void TogglePauseKey() {
  FrameworkState& state = GetFrameworkState();
  state.pauseKeyPaused = !state.pauseKeyPaused;
  FrameworkPause(state.pauseKeyPaused, state.pauseKeyPaused);
}

void HandleSize(WPARAM kind) {
  FrameworkState& state = GetFrameworkState();
  if (kind == SIZE_MINIMIZED) {
    if (!state.minimized) {
      state.minimized = true;
      FrameworkPause(true, true);
    }
    return;
  }
  if (state.minimized) {
    state.minimized = false;
    FrameworkPause(false, false);
  }
  CheckForWindowSizeChange();
}

void HandleActivation(bool active) {
  FrameworkState& state = GetFrameworkState();
  if (!state.window || state.window->IsDestroyed() || !state.window->IsFullScreen()) return;
  if (state.clipCursorWhenFullScreen) state.window->ClipCursor(active);
}

}  // namespace

LRESULT FrameworkWindowProcedure(Window* window, uint32_t message, WPARAM wParam, LPARAM lParam) {
  FrameworkState& state = GetFrameworkState();
  ProcedureDepth depth;

  if (IsKeyMessage(message)) HandleKey(message, wParam, lParam);
  if (IsMouseMessage(message)) HandleMouse(message, wParam, lParam);
  if (state.callbacks.message) {
    bool noFurtherProcessing = false;
    const LRESULT result = state.callbacks.message(window, message, wParam, lParam, &noFurtherProcessing,
                                                   state.callbacks.messageContext);
    if (noFurtherProcessing) return result;
  }

  switch (message) {
    case WM_DESTROY:
      if (state.replacingWindow) return 0;
      // The device goes with its window: its context cannot outlive the display connection.
      ReleaseDevice();
      PostQuitMessage(0);
      return 0;
    case WM_CLOSE:
      window->Destroy();
      return 0;
    case WM_SIZE:
      if (window == state.window.get()) HandleSize(wParam);
      return 0;
    case WM_PAINT:
      if (window == state.window.get() && state.pauses.RenderingPaused()) RenderPausedFrame();
      return 0;
    case WM_ACTIVATEAPP:
      HandleActivation(wParam != 0);
      return 0;
    case WM_ENTERMENULOOP:
    case WM_ENTERSIZEMOVE:
      FrameworkPause(true, true);
      return 0;
    case WM_EXITMENULOOP:
      FrameworkPause(false, false);
      return 0;
    case WM_EXITSIZEMOVE:
      FrameworkPause(false, false);
      CheckForWindowSizeChange();
      return 0;
    case WM_MENUCHAR:
      return MNC_CLOSE << 16;  // no beep for Alt+Enter
    case WM_SYSCOMMAND:
      // No system menu here: nothing to refuse in full screen, nothing to pass on.
      return 0;
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMRESUMESUSPEND) state.timer.Reset();
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE && state.handleEscape) {
        window->SendMessage(WM_CLOSE, 0, 0);
      } else if (wParam == VK_PAUSE && state.handlePause) {
        TogglePauseKey();
      }
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_RETURN && state.handleAltEnter) FrameworkToggleFullScreen();
      return 0;  // F10 among them: swallowed
    default:
      return 0;
  }
}
