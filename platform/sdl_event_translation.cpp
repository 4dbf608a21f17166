#include "platform/sdl_event_translation.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

#include "platform/event_queue.h"
#include "platform/key_codes.h"
#include "platform/utf8_decoding.h"
#include "platform/virtual_keys.h"
#include "platform/window.h"
#include "platform/window_registry.h"

namespace Platform {
namespace {

// Mouse buttons held, as the button events tell it (SDL's own state runs ahead of the events
// still waiting to be translated).
uint32_t buttonsHeld = 0;
// The modifiers of the last key event: text typed with Alt is a shortcut, not text.
Uint16 keyModifiers = 0;

Window* WindowOf(uint32_t sdlId) {
  WindowState* state = WindowWithSdlId(sdlId);
  return state ? state->owner : nullptr;
}

// Keyboard, text and drop events name the focused window, or none when no window has it.
Window* TargetWindow(uint32_t sdlId) {
  Window* window = WindowOf(sdlId);
  return window ? window : (sdlId == 0 ? ForegroundWindow() : nullptr);
}

// Enter, Backspace, Tab and Escape type a character of their own, as edit boxes expect.
char32_t ControlCharacter(uint32_t virtualKey) {
  switch (virtualKey) {
    case VK_RETURN: return '\r';
    case VK_BACK: return '\b';
    case VK_TAB: return '\t';
    case VK_ESCAPE: return 0x1B;
    default: return 0;
  }
}

void TranslateKey(const SDL_KeyboardEvent& key) {
  Window* window = TargetWindow(key.windowID);
  if (!window) return;
  const Uint16 modifiers = key.keysym.mod;
  keyModifiers = modifiers;
  uint32_t virtualKey = VirtualKeyFromSdl(key.keysym.sym, key.keysym.scancode, (modifiers & KMOD_NUM) != 0);
  if (virtualKey == 0) return;
  // Ctrl+Alt is the AltGr of many layouts: typing, not a system key.
  bool alt = virtualKey == VK_MENU || ((modifiers & KMOD_ALT) && !(modifiers & KMOD_CTRL));
  bool system = alt || virtualKey == VK_F10;
  if (key.type == SDL_KEYDOWN) {
    const EventType type = system ? EventType::SystemKeyDown : EventType::KeyDown;
    EnqueueEvent(window, WindowEvent::Key(type, virtualKey, key.repeat != 0, alt));
    char32_t character = ControlCharacter(virtualKey);
    const bool control = (modifiers & KMOD_CTRL) != 0;  // Ctrl+Tab and the like are commands
    if (character && !system && !control && SDL_IsTextInputActive()) {
      EnqueueEvent(window, WindowEvent::Character(character));
    }
  } else {
    const EventType type = system ? EventType::SystemKeyUp : EventType::KeyUp;
    EnqueueEvent(window, WindowEvent::Key(type, virtualKey, false, alt));
  }
}

void TranslateText(const SDL_TextInputEvent& text) {
  Window* window = TargetWindow(text.windowID);
  if (!window || ((keyModifiers & KMOD_ALT) && !(keyModifiers & KMOD_CTRL))) return;
  const char* cursor = text.text;
  while (uint32_t codePoint = NextCodePoint(cursor)) EnqueueEvent(window, WindowEvent::Character(codePoint));
}

MouseButtons HeldButtons(uint32_t sdlButtons) {
  MouseButtons held;
  held.left = (sdlButtons & SDL_BUTTON_LMASK) != 0;
  held.right = (sdlButtons & SDL_BUTTON_RMASK) != 0;
  held.middle = (sdlButtons & SDL_BUTTON_MMASK) != 0;
  held.x1 = (sdlButtons & SDL_BUTTON_X1MASK) != 0;
  held.x2 = (sdlButtons & SDL_BUTTON_X2MASK) != 0;
  return held;
}

// Window units to drawable pixels.
Point ClientPoint(const Window& window, int x, int y) {
  float scale = window.PixelScale();
  return Point{static_cast<int>(std::lround(x * scale)), static_cast<int>(std::lround(y * scale))};
}

void TranslateMotion(const SDL_MouseMotionEvent& motion) {
  Window* window = WindowOf(motion.windowID);
  if (!window) return;
  EnqueueEvent(window, WindowEvent::Mouse(EventType::MouseMove, ClientPoint(*window, motion.x, motion.y),
                                          HeldButtons(motion.state)));
}

MouseButton ButtonOf(uint8_t sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return MouseButton::Left;
    case SDL_BUTTON_MIDDLE: return MouseButton::Middle;
    case SDL_BUTTON_RIGHT: return MouseButton::Right;
    case SDL_BUTTON_X1: return MouseButton::X1;
    default: return MouseButton::X2;
  }
}

void TranslateButton(const SDL_MouseButtonEvent& button) {
  Window* window = WindowOf(button.windowID);
  if (!window || button.button < SDL_BUTTON_LEFT || button.button > SDL_BUTTON_X2) return;
  const bool down = button.type == SDL_MOUSEBUTTONDOWN;
  // A second click within the double-click time is the double click; a third starts over.
  const bool doubleClick = down && button.clicks >= 2 && button.clicks % 2 == 0;
  const uint32_t mask = SDL_BUTTON(button.button);
  buttonsHeld = down ? (buttonsHeld | mask) : (buttonsHeld & ~mask);
  const EventType type = doubleClick ? EventType::DoubleClick : down ? EventType::ButtonDown : EventType::ButtonUp;
  EnqueueEvent(window, WindowEvent::Mouse(type, ClientPoint(*window, button.x, button.y), HeldButtons(buttonsHeld),
                                          ButtonOf(button.button)));
}

void TranslateWheel(const SDL_MouseWheelEvent& wheel) {
  Window* window = WindowOf(wheel.windowID);
  if (!window) return;
  // Precise values carry the fractions of smooth-scrolling devices.
  float notches = wheel.preciseY != 0.0f ? wheel.preciseY : static_cast<float>(wheel.y);
  if (wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
  long delta = std::lround(notches * kWheelNotch);
  delta = std::clamp(delta, -32768L, 32767L);
  if (delta == 0) return;
  EnqueueEvent(window, WindowEvent::WheelTurn(static_cast<int>(delta), ClientPoint(*window, wheel.mouseX, wheel.mouseY),
                                              HeldButtons(buttonsHeld)));
}

void ReportSize(WindowState& state, SizeKind kind, bool always) {
  Window& window = *state.owner;
  int width = 0, height = 0;
  if (kind != SizeKind::Minimized) window.GetClientSize(&width, &height);
  if (state.TakeSizeReport(kind, width, height) || always) {
    EnqueueEvent(&window, WindowEvent::Resize(kind, width, height));
  }
}

void TranslateWindowEvent(const SDL_WindowEvent& event) {
  WindowState* state = WindowWithSdlId(event.windowID);
  if (!state) return;
  Window* window = state->owner;
  switch (event.event) {
    case SDL_WINDOWEVENT_SHOWN: EnqueueEvent(window, WindowEvent::Of(EventType::Shown)); break;
    case SDL_WINDOWEVENT_HIDDEN: EnqueueEvent(window, WindowEvent::Of(EventType::Hidden)); break;
    case SDL_WINDOWEVENT_EXPOSED: EnqueueEvent(window, WindowEvent::Of(EventType::Paint)); break;
    case SDL_WINDOWEVENT_MINIMIZED: ReportSize(*state, SizeKind::Minimized, true); break;
    case SDL_WINDOWEVENT_MAXIMIZED: ReportSize(*state, SizeKind::Maximized, true); break;
    case SDL_WINDOWEVENT_RESTORED: ReportSize(*state, SizeKind::Restored, true); break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      ReportSize(*state, window->IsMaximized() ? SizeKind::Maximized : SizeKind::Restored, false);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      state->SetFocus(true);
      EnqueueEvent(window, WindowEvent::Activate(true));
      EnqueueEvent(window, WindowEvent::Of(EventType::FocusGained));
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      // Button releases now go elsewhere: end any drag here rather than let it stick.
      if (window->HasCapture()) ReleaseCapture();
      buttonsHeld = 0;
      keyModifiers = 0;
      state->SetFocus(false);
      EnqueueEvent(window, WindowEvent::Activate(false));
      EnqueueEvent(window, WindowEvent::Of(EventType::FocusLost));
      break;
    case SDL_WINDOWEVENT_CLOSE: EnqueueEvent(window, WindowEvent::Of(EventType::Close)); break;
    default: break;
  }
}

void TranslateDrop(const SDL_DropEvent& drop) {
  if (drop.type == SDL_DROPFILE) {
    Window* window = TargetWindow(drop.windowID);
    if (window) EnqueueEvent(window, WindowEvent::Dropped(drop.file ? drop.file : ""));
  }
  SDL_free(drop.file);
}

}  // namespace

void TranslateEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: TranslateKey(event.key); break;
    case SDL_TEXTINPUT: TranslateText(event.text); break;
    case SDL_MOUSEMOTION: TranslateMotion(event.motion); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: TranslateButton(event.button); break;
    case SDL_MOUSEWHEEL: TranslateWheel(event.wheel); break;
    case SDL_WINDOWEVENT: TranslateWindowEvent(event.window); break;
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
    case SDL_DROPBEGIN:
    case SDL_DROPCOMPLETE: TranslateDrop(event.drop); break;
    case SDL_QUIT:
      // A quit request (a signal, the session ending) asks every window to close.
      for (WindowState* window : LiveWindows()) EnqueueEvent(window->owner, WindowEvent::Of(EventType::Close));
      break;
    default: break;
  }
}

}  // namespace Platform
