#include "framework/framework_state.h"
#include "platform/event_pump.h"

namespace {

using namespace Platform;

class ProcedureDepth {
public:
  ProcedureDepth() { ++GetFrameworkState().windowProcedureDepth; }
  ~ProcedureDepth() { --GetFrameworkState().windowProcedureDepth; }
};

void HandleKey(const WindowEvent& event) {
  FrameworkState& state = GetFrameworkState();
  const uint32_t key = event.key & 0xFF;
  const bool down = event.type == EventType::KeyDown || event.type == EventType::SystemKeyDown;
  state.keys[key] = down;
  const bool altDown = event.alt || IsKeyDown(VK_MENU);
  if (state.callbacks.keyboard) state.callbacks.keyboard(key, down, altDown, state.callbacks.keyboardContext);
}

void HandleMouse(const WindowEvent& event) {
  FrameworkState& state = GetFrameworkState();
  if (!state.callbacks.mouse) return;
  const int wheel = event.type == EventType::Wheel ? event.wheelDelta : 0;
  const MouseButtons& held = event.held;
  state.callbacks.mouse(held.left, held.right, held.middle, held.x1, held.x2, wheel, event.position.x,
                        event.position.y, state.callbacks.mouseContext);
}

void TogglePauseKey() {
  FrameworkState& state = GetFrameworkState();
  state.pauseKeyPaused = !state.pauseKeyPaused;
  FrameworkPause(state.pauseKeyPaused, state.pauseKeyPaused);
}

void HandleSize(SizeKind kind) {
  FrameworkState& state = GetFrameworkState();
  if (kind == SizeKind::Minimized) {
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

void FrameworkWindowProcedure(Window* window, const WindowEvent& event) {
  FrameworkState& state = GetFrameworkState();
  ProcedureDepth depth;

  if (event.IsKey()) HandleKey(event);
  if (event.IsMouse()) HandleMouse(event);
  if (state.callbacks.event) {
    bool noFurtherProcessing = false;
    state.callbacks.event(window, event, &noFurtherProcessing, state.callbacks.eventContext);
    if (noFurtherProcessing) return;
  }

  switch (event.type) {
    case EventType::Destroy:
      if (state.replacingWindow) return;
      // The device goes with its window: its context cannot outlive the display connection.
      ReleaseDevice();
      PostQuit(0);
      return;
    case EventType::Close:
      window->Destroy();
      return;
    case EventType::Resized:
      if (window == state.window.get()) HandleSize(event.sizeKind);
      return;
    case EventType::Paint:
      if (window == state.window.get() && state.pauses.RenderingPaused()) RenderPausedFrame();
      return;
    case EventType::Activation:
      HandleActivation(event.active);
      return;
    case EventType::KeyDown:
      if (event.key == VK_ESCAPE && state.handleEscape) {
        window->Send(WindowEvent::Of(EventType::Close));
      } else if (event.key == VK_PAUSE && state.handlePause) {
        TogglePauseKey();
      }
      return;
    case EventType::SystemKeyDown:
      if (event.key == VK_RETURN && state.handleAltEnter) FrameworkToggleFullScreen();
      return;  // F10 among them: swallowed
    default:
      return;
  }
}
