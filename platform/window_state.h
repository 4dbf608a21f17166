#pragma once

#include <SDL_video.h>

#include <string>
#include <vector>

#include "platform/window.h"

// What a window keeps beside its SDL window, and the hooks through which the event translation
// updates it. Private to the window code.
namespace Platform {

struct Window::State {
  SDL_Window* sdl = nullptr;
  uint32_t sdlId = 0;
  WindowProcedure procedure = nullptr;
  std::string title;
  bool destroyed = false;
  // Whether the system has said anything about the keyboard focus yet, and what.
  bool focusKnown = false;
  bool focused = false;
  // The last WM_SIZE sent, so that repeated size events of one change send it once.
  WPARAM lastSizeKind = SIZE_RESTORED;
  int lastWidth = 0;
  int lastHeight = 0;
  // The window's geometry (in window units) before it went full screen.
  Point windowedPosition;
  int windowedWidth = 0;
  int windowedHeight = 0;
  std::string droppedFile;
};

struct WindowEvents {
  // Live windows in the order they were created.
  static const std::vector<Window*>& LiveWindows();
  // The live window with this SDL window id, or null (events may outlive their window).
  static Window* FromSdlId(uint32_t sdlId);
  static void SetFocus(Window& window, bool focused);
  static bool HasFocus(const Window& window);
  static void SetDroppedFile(Window& window, const char* path);
  // Records a size about to be reported; false when it repeats the last report exactly.
  static bool TakeSizeReport(Window& window, WPARAM kind, int width, int height);
};

}  // namespace Platform
