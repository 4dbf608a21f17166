#include "platform/sdl_event_translation.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

#include "platform/message_queue.h"
#include "platform/utf8_decoding.h"
#include "platform/virtual_keys.h"
#include "platform/window.h"
#include "platform/window_state.h"

namespace Platform {
namespace {

constexpr uint32_t kPreviousKeyStateBit = 1u << 30;
constexpr uint32_t kTransitionBit = 1u << 31;
constexpr uint32_t kAltContextBit = 1u << 29;

// Mouse buttons held, as the button messages tell it (SDL's own state runs ahead of the
// events still waiting to be translated).
uint32_t buttonsHeld = 0;
// The modifiers of the last key event: text typed with Alt is a shortcut, not text.
Uint16 keyModifiers = 0;

// Keyboard, text and drop events name the focused window, or none when no window has it.
Window* TargetWindow(uint32_t sdlId) {
  Window* window = WindowEvents::FromSdlId(sdlId);
  return window ? window : (sdlId == 0 ? ForegroundWindow() : nullptr);
}

LPARAM KeyLParam(uint32_t bits, SDL_Scancode scancode) {
  return static_cast<LPARAM>(bits | 1u | ((static_cast<uint32_t>(scancode) & 0xFFu) << 16));
}

// Enter, Backspace, Tab and Escape type a character of their own, as edit boxes expect.
uint32_t ControlCharacter(uint32_t virtualKey) {
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
  uint32_t bits = alt ? kAltContextBit : 0;
  if (key.type == SDL_KEYDOWN) {
    if (key.repeat) bits |= kPreviousKeyStateBit;
    EnqueueMessage(window, system ? WM_SYSKEYDOWN : WM_KEYDOWN, virtualKey, KeyLParam(bits, key.keysym.scancode));
    uint32_t character = ControlCharacter(virtualKey);
    const bool control = (modifiers & KMOD_CTRL) != 0;  // Ctrl+Tab and the like are commands
    if (character && !system && !control && SDL_IsTextInputActive()) EnqueueMessage(window, WM_CHAR, character, 1);
  } else {
    bits |= kPreviousKeyStateBit | kTransitionBit;
    EnqueueMessage(window, system ? WM_SYSKEYUP : WM_KEYUP, virtualKey, KeyLParam(bits, key.keysym.scancode));
  }
}

void TranslateText(const SDL_TextInputEvent& text) {
  Window* window = TargetWindow(text.windowID);
  if (!window || ((keyModifiers & KMOD_ALT) && !(keyModifiers & KMOD_CTRL))) return;
  const char* cursor = text.text;
  while (uint32_t codePoint = NextCodePoint(cursor)) EnqueueMessage(window, WM_CHAR, codePoint, 1);
}

WPARAM MouseKeyFlags(uint32_t sdlButtons) {
  WPARAM flags = 0;
  if (sdlButtons & SDL_BUTTON_LMASK) flags |= MK_LBUTTON;
  if (sdlButtons & SDL_BUTTON_RMASK) flags |= MK_RBUTTON;
  if (sdlButtons & SDL_BUTTON_MMASK) flags |= MK_MBUTTON;
  if (sdlButtons & SDL_BUTTON_X1MASK) flags |= MK_XBUTTON1;
  if (sdlButtons & SDL_BUTTON_X2MASK) flags |= MK_XBUTTON2;
  SDL_Keymod modifiers = SDL_GetModState();
  if (modifiers & KMOD_SHIFT) flags |= MK_SHIFT;
  if (modifiers & KMOD_CTRL) flags |= MK_CONTROL;
  return flags;
}

// Window units to drawable pixels.
LPARAM ClientPoint(const Window& window, int x, int y) {
  float scale = window.PixelScale();
  return MakeLParam(static_cast<int>(std::lround(x * scale)), static_cast<int>(std::lround(y * scale)));
}

void TranslateMotion(const SDL_MouseMotionEvent& motion) {
  Window* window = WindowEvents::FromSdlId(motion.windowID);
  if (!window) return;
  EnqueueMessage(window, WM_MOUSEMOVE, MouseKeyFlags(motion.state), ClientPoint(*window, motion.x, motion.y));
}

void TranslateButton(const SDL_MouseButtonEvent& button) {
  Window* window = WindowEvents::FromSdlId(button.windowID);
  if (!window || button.button < SDL_BUTTON_LEFT || button.button > SDL_BUTTON_X2) return;
  const bool down = button.type == SDL_MOUSEBUTTONDOWN;
  // A second click within the double-click time is the double click; a third starts over.
  const bool doubleClick = down && button.clicks >= 2 && button.clicks % 2 == 0;
  const uint32_t mask = SDL_BUTTON(button.button);
  buttonsHeld = down ? (buttonsHeld | mask) : (buttonsHeld & ~mask);
  WPARAM wParam = MouseKeyFlags(buttonsHeld);
  uint32_t message = 0;
  switch (button.button) {
    case SDL_BUTTON_LEFT: message = doubleClick ? WM_LBUTTONDBLCLK : down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
    case SDL_BUTTON_MIDDLE: message = doubleClick ? WM_MBUTTONDBLCLK : down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
    case SDL_BUTTON_RIGHT: message = doubleClick ? WM_RBUTTONDBLCLK : down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
    default:
      message = doubleClick ? WM_XBUTTONDBLCLK : down ? WM_XBUTTONDOWN : WM_XBUTTONUP;
      wParam = MakeWParam(static_cast<int>(wParam), static_cast<int>(button.button == SDL_BUTTON_X1 ? XBUTTON1 : XBUTTON2));
      break;
  }
  EnqueueMessage(window, message, wParam, ClientPoint(*window, button.x, button.y));
}

void TranslateWheel(const SDL_MouseWheelEvent& wheel) {
  Window* window = WindowEvents::FromSdlId(wheel.windowID);
  if (!window) return;
  // Precise values carry the fractions of smooth-scrolling devices.
  float notches = wheel.preciseY != 0.0f ? wheel.preciseY : static_cast<float>(wheel.y);
  if (wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
  long delta = std::lround(notches * WHEEL_DELTA);
  delta = std::clamp(delta, -32768L, 32767L);
  if (delta == 0) return;
  WPARAM wParam = MakeWParam(static_cast<int>(MouseKeyFlags(buttonsHeld)), static_cast<int>(delta));
  EnqueueMessage(window, WM_MOUSEWHEEL, wParam, ClientPoint(*window, wheel.mouseX, wheel.mouseY));
}

void ReportSize(Window& window, WPARAM kind, bool always) {
  int width = 0, height = 0;
  if (kind != SIZE_MINIMIZED) window.GetClientSize(&width, &height);
  if (WindowEvents::TakeSizeReport(window, kind, width, height) || always) {
    EnqueueMessage(&window, WM_SIZE, kind, MakeLParam(width, height));
  }
}

void TranslateWindowEvent(const SDL_WindowEvent& event) {
  Window* window = WindowEvents::FromSdlId(event.windowID);
  if (!window) return;
  switch (event.event) {
    case SDL_WINDOWEVENT_SHOWN: EnqueueMessage(window, WM_SHOWWINDOW, 1, 0); break;
    case SDL_WINDOWEVENT_HIDDEN: EnqueueMessage(window, WM_SHOWWINDOW, 0, 0); break;
    case SDL_WINDOWEVENT_EXPOSED: EnqueueMessage(window, WM_PAINT, 0, 0); break;
    case SDL_WINDOWEVENT_MINIMIZED: ReportSize(*window, SIZE_MINIMIZED, true); break;
    case SDL_WINDOWEVENT_MAXIMIZED: ReportSize(*window, SIZE_MAXIMIZED, true); break;
    case SDL_WINDOWEVENT_RESTORED: ReportSize(*window, SIZE_RESTORED, true); break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      ReportSize(*window, window->IsMaximized() ? SIZE_MAXIMIZED : SIZE_RESTORED, false);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      WindowEvents::SetFocus(*window, true);
      EnqueueMessage(window, WM_ACTIVATEAPP, 1, 0);
      EnqueueMessage(window, WM_ACTIVATE, WA_ACTIVE, 0);
      EnqueueMessage(window, WM_SETFOCUS, 0, 0);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      // Button releases now go elsewhere: end any drag here rather than let it stick.
      if (window->HasCapture()) ReleaseCapture();
      buttonsHeld = 0;
      keyModifiers = 0;
      WindowEvents::SetFocus(*window, false);
      EnqueueMessage(window, WM_ACTIVATE, WA_INACTIVE, 0);
      EnqueueMessage(window, WM_ACTIVATEAPP, 0, 0);
      EnqueueMessage(window, WM_KILLFOCUS, 0, 0);
      break;
    case SDL_WINDOWEVENT_CLOSE: EnqueueMessage(window, WM_CLOSE, 0, 0); break;
    default: break;
  }
}

void TranslateDrop(const SDL_DropEvent& drop) {
  if (drop.type == SDL_DROPFILE) {
    Window* window = TargetWindow(drop.windowID);
    if (window) {
      WindowEvents::SetDroppedFile(*window, drop.file);
      EnqueueMessage(window, WM_DROPFILES, 0, 0);
    }
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
      for (Window* window : WindowEvents::LiveWindows()) EnqueueMessage(window, WM_CLOSE, 0, 0);
      break;
    default: break;
  }
}

}  // namespace Platform
