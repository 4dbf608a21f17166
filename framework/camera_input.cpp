#include "framework/camera_input.h"

namespace {

class PlatformInput final : public CameraInput {
public:
  void SetCapture(Platform::Window* window) override {
    if (window) window->SetCapture();
  }

  void ReleaseCapture() override { Platform::ReleaseCapture(); }

  Platform::Point CursorPosition() override { return Platform::GetCursorPos(); }

  Platform::Point CentreCursor() override {
    // The platform knows no monitors, so the centre of the window stands in for the centre of
    // the monitor holding it: either keeps the cursor from running into a screen edge.
    Platform::Window* window = Platform::ForegroundWindow();
    if (window && window->IsActive()) {
      int width = 0, height = 0;
      window->GetClientSize(&width, &height);
      window->SetCursorPosition({width / 2, height / 2});
    }
    return Platform::GetCursorPos();
  }

  void ForegroundClientSize(int* width, int* height) override {
    *width = 0;
    *height = 0;
    if (Platform::Window* window = Platform::ForegroundWindow()) window->GetClientSize(width, height);
  }

  uintptr_t WindowHandle(Platform::Window* window) override { return window ? window->Handle() : 0; }
};

}  // namespace

CameraInput& PlatformCameraInput() {
  static PlatformInput input;
  return input;
}
