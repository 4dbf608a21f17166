#pragma once

#include <cstdint>

#include "platform/window.h"

// What a camera asks of the window system: the mouse capture, the cursor and the size of the
// window in front. Cameras take it as an interface so that they can be driven by a scripted
// source, with no display, in tests.
class CameraInput {
public:
  virtual ~CameraInput() = default;

  // Captures the mouse to window (nothing for a null window).
  virtual void SetCapture(Platform::Window* window) = 0;
  virtual void ReleaseCapture() = 0;
  // The cursor on the screen.
  virtual Platform::Point CursorPosition() = 0;
  // When the application is active, moves the cursor to the centre of its window; returns where
  // the cursor is afterwards, on the screen.
  virtual Platform::Point CentreCursor() = 0;
  // The client size of the window in front, 0 x 0 when there is none.
  virtual void ForegroundClientSize(int* width, int* height) = 0;
  // The number naming window in a CaptureLost event; 0 for a null window.
  virtual uintptr_t WindowHandle(Platform::Window* window) = 0;
};

// The platform's window system. Lives for the whole program.
CameraInput& PlatformCameraInput();
