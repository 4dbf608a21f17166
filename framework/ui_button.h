#pragma once

#include "framework/ui_static.h"

// A push button: element 0 is its face, element 1 the fill layer over it.
class CUIButton : public CUIStatic {
public:
  explicit CUIButton(ControlHost* host, int type = kControlButton) : CUIStatic(host, type) {}

  void Render(float elapsedSeconds) override;
  bool HandleKeyboard(const Platform::WindowEvent& event) override;
  bool HandleMouse(const Platform::WindowEvent& event, Platform::Point point) override;
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
