#pragma once

#include <SDL_keyboard.h>

#include <cstdint>

// The key codes of key_codes.h for SDL's keys. Letters, digits and punctuation
// follow the keyboard layout (the key that types 'A' is 'A') and fall back to the key's position
// on a US keyboard when the layout puts something else there; the other keys go by position.
namespace Platform {

// The virtual key of a key event, 0 when it has none. With NumLock on the numeric pad gives
// VK_NUMPAD0.. and VK_DECIMAL, otherwise the navigation keys printed on it.
uint32_t VirtualKeyFromSdl(SDL_Keycode key, SDL_Scancode scancode, bool numLock);

// Whether a virtual key is held in a keyboard state (SDL_GetKeyboardState: one byte per
// scancode). The generic VK_SHIFT, VK_CONTROL and VK_MENU stand for either side.
bool IsVirtualKeyHeld(uint32_t virtualKey, const uint8_t* keyboardState, int scancodeCount, bool numLock);

}  // namespace Platform
