#pragma once

#include "framework/camera_input.h"

// A scripted window system for camera tests: records captures, reports a cursor and a
// foreground size set by the test.
class FakeCameraInput final : public CameraInput {
public:
  void SetCapture(Platform::Window*) override { ++captures; }
  void ReleaseCapture() override { ++releases; }
  Platform::Point CursorPosition() override { return cursor; }
  Platform::Point CentreCursor() override { return cursor; }
  void ForegroundClientSize(int* width, int* height) override {
    *width = foregroundWidth;
    *height = foregroundHeight;
  }
  uintptr_t WindowHandle(Platform::Window* window) override { return reinterpret_cast<uintptr_t>(window); }

  int captures = 0;
  int releases = 0;
  Platform::Point cursor;
  int foregroundWidth = 0;
  int foregroundHeight = 0;
};
