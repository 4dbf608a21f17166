#include "framework/ui_input.h"

namespace {

class PlatformInput final : public UIInput {
public:
  bool IsKeyDown(uint32_t virtualKey) override { return Platform::IsKeyDown(virtualKey); }

  void SetCapture(Platform::Window* window) override {
    if (window) window->SetCapture();
  }

  void ReleaseCapture() override { Platform::ReleaseCapture(); }

  bool SetClipboardText(const std::string& text) override { return Platform::SetClipboardText(text); }

  std::string GetClipboardText() override { return Platform::GetClipboardText(); }
};

}  // namespace

UIInput& PlatformUIInput() {
  static PlatformInput input;
  return input;
}
