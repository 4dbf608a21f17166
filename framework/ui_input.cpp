#include "framework/ui_input.h"

#include "framework/framework.h"
#include "framework/framework_state.h"

namespace {

class PlatformInput final : public UIInput {
public:
  // Under the framework's loop, the keys as of the event being handled: the system's state
  // may already include later events (a quick Ctrl+A comes in one batch, Ctrl up included).
  bool IsKeyDown(uint32_t virtualKey) override {
    if (virtualKey < 256 && virtualKey > Platform::VK_XBUTTON2 && GetFrameworkState().insideMainLoop)
      return FrameworkIsKeyDown(virtualKey);
    return Platform::IsKeyDown(virtualKey);
  }

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
