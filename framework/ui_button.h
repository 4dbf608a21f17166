#pragma once

#include "framework/ui_static.h"

// A push button: element 0 is its face, element 1 the fill layer over it.
class CUIButton : public CUIStatic {
public:
  explicit CUIButton(Dialog* dialog, int type = kControlButton) : CUIStatic(dialog, type) {}

  void Render(float elapsedSeconds) override;
  bool HandleKeyboard(uint32_t message, Platform::WPARAM wParam, Platform::LPARAM lParam) override;
  bool HandleMouse(uint32_t message, Platform::Point point, Platform::WPARAM wParam, Platform::LPARAM lParam) override;
  bool CanHaveFocus() override { return visible && enabled; }
  void Hotkey() override;
  void MouseCaptureLost() override { pressed = false; }
  bool ContainsPoint(Platform::Point point) override { return Inside(boundingBox, point); }

  bool IsPressed() const { return pressed; }

protected:
  // What a completed click or Space does; a plain button reports it.
  virtual void OnClicked();
  // Focus goes back when the dialog takes no keyboard input, as a click is over.
  void GiveUpFocusAfterClick();

  bool pressed = false;
};
