#pragma once

#include <SDL_video.h>

#include <cstdint>
#include <string>

#include "platform/point.h"
#include "platform/window_event.h"

// What a window keeps beside its SDL window: a plain record that the window, the mouse capture
// and the event translation read and update. Private to the window code.
namespace Platform {

class Window;

struct WindowState {
  Window* owner = nullptr;
  SDL_Window* sdl = nullptr;
  uint32_t sdlId = 0;
  WindowProcedure procedure = nullptr;
  std::string title;
  bool destroyed = false;
  // Whether the system has said anything about the keyboard focus yet, and what.
  bool focusKnown = false;
  bool focused = false;
  // The last size reported, so that repeated size events of one change report it once.
  SizeKind lastSizeKind = SizeKind::Restored;
  int lastWidth = 0;
  int lastHeight = 0;
  // The window's geometry (in window units) before it went full screen.
  Point windowedPosition;
  int windowedWidth = 0;
  int windowedHeight = 0;

  bool HasFocus() const { return focusKnown && focused; }
  void SetFocus(bool hasFocus) {
    focusKnown = true;
    focused = hasFocus;
  }
  // Records a size about to be reported; false when it repeats the last report exactly.
  bool TakeSizeReport(SizeKind kind, int width, int height) {
    if (lastSizeKind == kind && lastWidth == width && lastHeight == height) return false;
    lastSizeKind = kind;
    lastWidth = width;
    lastHeight = height;
    return true;
  }
};

}  // namespace Platform
