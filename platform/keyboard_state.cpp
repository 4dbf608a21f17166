#include <SDL.h>

#include "platform/virtual_keys.h"
#include "platform/window.h"

// The keyboard and mouse buttons as they are now, and character input.
namespace Platform {

bool IsKeyDown(uint32_t virtualKey) {
  switch (virtualKey) {
    case VK_LBUTTON:
    case VK_RBUTTON:
    case VK_MBUTTON:
    case VK_XBUTTON1:
    case VK_XBUTTON2: {
      if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
      static constexpr int kButtons[] = {0, SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, 0, SDL_BUTTON_MIDDLE, SDL_BUTTON_X1, SDL_BUTTON_X2};
      return (SDL_GetGlobalMouseState(nullptr, nullptr) & SDL_BUTTON(kButtons[virtualKey])) != 0;
    }
    default: break;
  }
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  return IsVirtualKeyHeld(virtualKey, state, count, (SDL_GetModState() & KMOD_NUM) != 0);
}

bool IsKeyToggled(uint32_t virtualKey) {
  SDL_Keymod modifiers = SDL_GetModState();
  switch (virtualKey) {
    case VK_CAPITAL: return (modifiers & KMOD_CAPS) != 0;
    case VK_NUMLOCK: return (modifiers & KMOD_NUM) != 0;
    case VK_SCROLL: return (modifiers & KMOD_SCROLL) != 0;
    default: return false;
  }
}

void StartTextInput() { SDL_StartTextInput(); }

void StopTextInput() { SDL_StopTextInput(); }

uint32_t CaretBlinkMilliseconds() { return 530; }

uint32_t DoubleClickMilliseconds() { return 500; }

}  // namespace Platform
