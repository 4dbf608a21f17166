#include "platform/virtual_keys.h"

#include "platform/key_codes.h"

namespace Platform {
namespace {

// The numeric pad's 5 without NumLock.
constexpr uint32_t kVkClear = 0x0C;
// The extra key between left Shift and Z on European keyboards.
constexpr uint32_t kVkOem102 = 0xE2;

struct ScancodeKey {
  SDL_Scancode scancode;
  uint32_t virtualKey;
};

// Keys that mean the same on every layout.
constexpr ScancodeKey kFixedKeys[] = {
    {SDL_SCANCODE_BACKSPACE, VK_BACK},
    {SDL_SCANCODE_TAB, VK_TAB},
    {SDL_SCANCODE_RETURN, VK_RETURN},
    {SDL_SCANCODE_RETURN2, VK_RETURN},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE},
    {SDL_SCANCODE_SPACE, VK_SPACE},
    {SDL_SCANCODE_PAUSE, VK_PAUSE},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT},
    {SDL_SCANCODE_END, VK_END},
    {SDL_SCANCODE_HOME, VK_HOME},
    {SDL_SCANCODE_LEFT, VK_LEFT},
    {SDL_SCANCODE_UP, VK_UP},
    {SDL_SCANCODE_RIGHT, VK_RIGHT},
    {SDL_SCANCODE_DOWN, VK_DOWN},
    {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT},
    {SDL_SCANCODE_INSERT, VK_INSERT},
    {SDL_SCANCODE_DELETE, VK_DELETE},
    {SDL_SCANCODE_LGUI, VK_LWIN},
    {SDL_SCANCODE_RGUI, VK_RWIN},
    {SDL_SCANCODE_APPLICATION, VK_APPS},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY},
    {SDL_SCANCODE_KP_PLUS, VK_ADD},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE},
    {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK},
    {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL},
    {SDL_SCANCODE_LSHIFT, VK_SHIFT},
    {SDL_SCANCODE_RSHIFT, VK_SHIFT},
    {SDL_SCANCODE_LCTRL, VK_CONTROL},
    {SDL_SCANCODE_RCTRL, VK_CONTROL},
    {SDL_SCANCODE_LALT, VK_MENU},
    {SDL_SCANCODE_RALT, VK_MENU},
};

// Punctuation keys at their US positions, the fallback when the layout types something that has
// no virtual key of its own.
constexpr ScancodeKey kPunctuationPositions[] = {
    {SDL_SCANCODE_SEMICOLON, VK_OEM_1},     {SDL_SCANCODE_EQUALS, VK_OEM_PLUS},
    {SDL_SCANCODE_COMMA, VK_OEM_COMMA},     {SDL_SCANCODE_MINUS, VK_OEM_MINUS},
    {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD},   {SDL_SCANCODE_SLASH, VK_OEM_2},
    {SDL_SCANCODE_GRAVE, VK_OEM_3},         {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4},
    {SDL_SCANCODE_BACKSLASH, VK_OEM_5},     {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6},
    {SDL_SCANCODE_APOSTROPHE, VK_OEM_7},    {SDL_SCANCODE_NONUSBACKSLASH, kVkOem102},
    {SDL_SCANCODE_NONUSHASH, VK_OEM_5},
};

uint32_t Lookup(const ScancodeKey* table, int count, SDL_Scancode scancode) {
  for (int i = 0; i < count; ++i) {
    if (table[i].scancode == scancode) return table[i].virtualKey;
  }
  return 0;
}

template <int N>
uint32_t Lookup(const ScancodeKey (&table)[N], SDL_Scancode scancode) {
  return Lookup(table, N, scancode);
}

uint32_t NumericPadKey(SDL_Scancode scancode, bool numLock) {
  // Pad keys 0..9 in the order of their scancodes (1..9 come first, then 0).
  static constexpr uint32_t kNavigation[10] = {VK_INSERT, VK_END,   VK_DOWN, VK_NEXT, VK_LEFT,
                                               kVkClear,  VK_RIGHT, VK_HOME, VK_UP,   VK_PRIOR};
  if (scancode == SDL_SCANCODE_KP_PERIOD) return numLock ? VK_DECIMAL : VK_DELETE;
  int digit = -1;
  if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9) digit = scancode - SDL_SCANCODE_KP_1 + 1;
  if (scancode == SDL_SCANCODE_KP_0) digit = 0;
  if (digit < 0) return 0;
  return numLock ? VK_NUMPAD0 + static_cast<uint32_t>(digit) : kNavigation[digit];
}

uint32_t CharacterKey(SDL_Keycode key) {
  if (key >= 'a' && key <= 'z') return static_cast<uint32_t>(key - 'a' + 'A');
  if (key >= '0' && key <= '9') return static_cast<uint32_t>(key);
  switch (key) {
    case SDLK_RETURN: return VK_RETURN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_DELETE: return VK_DELETE;
    case ';': return VK_OEM_1;
    case '=': return VK_OEM_PLUS;
    case ',': return VK_OEM_COMMA;
    case '-': return VK_OEM_MINUS;
    case '.': return VK_OEM_PERIOD;
    case '/': return VK_OEM_2;
    case '`': return VK_OEM_3;
    case '[': return VK_OEM_4;
    case '\\': return VK_OEM_5;
    case ']': return VK_OEM_6;
    case '\'': return VK_OEM_7;
    default: return 0;
  }
}

uint32_t PositionKey(SDL_Scancode scancode) {
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 'A' + static_cast<uint32_t>(scancode - SDL_SCANCODE_A);
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + static_cast<uint32_t>(scancode - SDL_SCANCODE_1);
  if (scancode == SDL_SCANCODE_0) return '0';
  if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12) return VK_F1 + static_cast<uint32_t>(scancode - SDL_SCANCODE_F1);
  if (scancode >= SDL_SCANCODE_F13 && scancode <= SDL_SCANCODE_F24) return VK_F1 + 12 + static_cast<uint32_t>(scancode - SDL_SCANCODE_F13);
  if (uint32_t fixed = Lookup(kFixedKeys, scancode)) return fixed;
  return Lookup(kPunctuationPositions, scancode);
}

// The side-specific codes only ever match their own key.
SDL_Scancode SideSpecificScancode(uint32_t virtualKey) {
  switch (virtualKey) {
    case VK_LSHIFT: return SDL_SCANCODE_LSHIFT;
    case VK_RSHIFT: return SDL_SCANCODE_RSHIFT;
    case VK_LCONTROL: return SDL_SCANCODE_LCTRL;
    case VK_RCONTROL: return SDL_SCANCODE_RCTRL;
    case VK_LMENU: return SDL_SCANCODE_LALT;
    case VK_RMENU: return SDL_SCANCODE_RALT;
    default: return SDL_SCANCODE_UNKNOWN;
  }
}

}  // namespace

uint32_t VirtualKeyFromSdl(SDL_Keycode key, SDL_Scancode scancode, bool numLock) {
  if (uint32_t pad = NumericPadKey(scancode, numLock)) return pad;
  if (key & SDLK_SCANCODE_MASK) {
    // Keys without a character are named by the scancode the layout gives them.
    if (uint32_t named = PositionKey(static_cast<SDL_Scancode>(key & ~SDLK_SCANCODE_MASK))) return named;
  } else if (uint32_t character = CharacterKey(key)) {
    return character;
  }
  return PositionKey(scancode);
}

bool IsVirtualKeyHeld(uint32_t virtualKey, const uint8_t* keyboardState, int scancodeCount, bool numLock) {
  if (!keyboardState || virtualKey == 0) return false;
  SDL_Scancode side = SideSpecificScancode(virtualKey);
  if (side != SDL_SCANCODE_UNKNOWN) return side < scancodeCount && keyboardState[side] != 0;
  for (int scancode = 0; scancode < scancodeCount; ++scancode) {
    if (!keyboardState[scancode]) continue;
    auto code = static_cast<SDL_Scancode>(scancode);
    if (VirtualKeyFromSdl(SDL_GetKeyFromScancode(code), code, numLock) == virtualKey) return true;
  }
  return false;
}

}  // namespace Platform
