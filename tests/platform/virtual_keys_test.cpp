#include "platform/virtual_keys.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/key_codes.h"

namespace Platform {
namespace {

TEST(VirtualKeys, FollowTheLayoutForCharactersAndThePositionForTheRest) {
  struct Case {
    SDL_Keycode key;
    SDL_Scancode scancode;
    uint32_t expected;
  };
  const Case cases[] = {
      {SDLK_a, SDL_SCANCODE_A, 'A'},
      {SDLK_q, SDL_SCANCODE_A, 'Q'},          // the A position types q on a French layout
      {SDLK_7, SDL_SCANCODE_7, '7'},
      {0xE9, SDL_SCANCODE_2, '2'},            // é on the 2 key: no virtual key of its own
      {SDLK_SEMICOLON, SDL_SCANCODE_SEMICOLON, VK_OEM_1},
      {SDLK_SLASH, SDL_SCANCODE_SLASH, VK_OEM_2},
      {SDLK_RETURN, SDL_SCANCODE_RETURN, VK_RETURN},
      {SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, VK_RETURN},
      {SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, VK_BACK},
      {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, VK_ESCAPE},
      {SDLK_F1, SDL_SCANCODE_F1, VK_F1},
      {SDLK_F10, SDL_SCANCODE_F10, VK_F10},
      {SDLK_F13, SDL_SCANCODE_F13, VK_F1 + 12},
      {SDLK_F24, SDL_SCANCODE_F24, VK_F1 + 23},
      {SDLK_PAGEUP, SDL_SCANCODE_PAGEUP, VK_PRIOR},
      {SDLK_END, SDL_SCANCODE_END, VK_END},
      {SDLK_DELETE, SDL_SCANCODE_DELETE, VK_DELETE},
      {SDLK_PAUSE, SDL_SCANCODE_PAUSE, VK_PAUSE},
      {SDLK_RSHIFT, SDL_SCANCODE_RSHIFT, VK_SHIFT},
      {SDLK_LCTRL, SDL_SCANCODE_LCTRL, VK_CONTROL},
      {SDLK_RALT, SDL_SCANCODE_RALT, VK_MENU},
      {SDLK_CAPSLOCK, SDL_SCANCODE_CAPSLOCK, VK_CAPITAL},    // remapped Caps Lock goes by what it is now
      {SDLK_ESCAPE, SDL_SCANCODE_CAPSLOCK, VK_ESCAPE},
      {SDLK_UNKNOWN, SDL_SCANCODE_MUTE, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VirtualKeyFromSdl(c.key, c.scancode, true), c.expected) << SDL_GetScancodeName(c.scancode);
  }
}

TEST(VirtualKeys, NumericPadGivesDigitsOnlyWithNumLock) {
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_7, SDL_SCANCODE_KP_7, true), VK_NUMPAD0 + 7);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_0, SDL_SCANCODE_KP_0, true), VK_NUMPAD0);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_PERIOD, SDL_SCANCODE_KP_PERIOD, true), VK_DECIMAL);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_7, SDL_SCANCODE_KP_7, false), VK_HOME);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_2, SDL_SCANCODE_KP_2, false), VK_DOWN);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_PERIOD, SDL_SCANCODE_KP_PERIOD, false), VK_DELETE);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_PLUS, SDL_SCANCODE_KP_PLUS, false), VK_ADD);
}

TEST(VirtualKeys, HeldKeysAreFoundBySideOrEitherSide) {
  std::vector<uint8_t> state(SDL_NUM_SCANCODES, 0);
  state[SDL_SCANCODE_RSHIFT] = 1;
  state[SDL_SCANCODE_KP_4] = 1;
  const int count = static_cast<int>(state.size());
  EXPECT_TRUE(IsVirtualKeyHeld(VK_SHIFT, state.data(), count, true));
  EXPECT_TRUE(IsVirtualKeyHeld(VK_RSHIFT, state.data(), count, true));
  EXPECT_FALSE(IsVirtualKeyHeld(VK_LSHIFT, state.data(), count, true));
  EXPECT_FALSE(IsVirtualKeyHeld(VK_CONTROL, state.data(), count, true));
  EXPECT_TRUE(IsVirtualKeyHeld(VK_NUMPAD0 + 4, state.data(), count, true));
  EXPECT_TRUE(IsVirtualKeyHeld(VK_LEFT, state.data(), count, false));
  EXPECT_FALSE(IsVirtualKeyHeld(VK_LEFT, state.data(), count, true));
}

}  // namespace
}  // namespace Platform
