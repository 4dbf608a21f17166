#pragma once

#include <string>

#include "framework/ui_control.h"

// A line of text drawn with element 0. It never takes the mouse.
class CUIStatic : public CUIControl {
public:
  explicit CUIStatic(ControlHost* host, int type = kControlStatic) : CUIControl(host, type) {}

  void Render(float elapsedSeconds) override;
  bool ContainsPoint(Platform::Point) override { return false; }

  // Keeps up to 260 code points of text (UTF-8).
  void SetText(const std::string& newText);
  const std::string& GetText() const { return text; }

  static constexpr size_t kMaxTextCodePoints = 260;

protected:
  std::string text;
};
