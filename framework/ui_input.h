#pragma once

#include <cstdint>
#include <string>

#include "platform/window.h"

// What the dialogs and their controls ask of the window system beyond the events they are
// given: the modifier keys, the mouse capture and the clipboard. Dialogs take it as an interface
// so that tests drive them with a scripted one, with no display.
class UIInput {
public:
  virtual ~UIInput() = default;

  // Whether a key (a virtual-key code such as VK_SHIFT or VK_CONTROL) is down now.
  virtual bool IsKeyDown(uint32_t virtualKey) = 0;
  // Captures the mouse to window (nothing for a null window).
  virtual void SetCapture(Platform::Window* window) = 0;
  virtual void ReleaseCapture() = 0;
  // UTF-8 text.
  virtual bool SetClipboardText(const std::string& text) = 0;
  virtual std::string GetClipboardText() = 0;
};

// The platform's window system. Lives for the whole program.
UIInput& PlatformUIInput();
