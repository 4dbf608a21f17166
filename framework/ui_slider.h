#pragma once

#include "framework/ui_control.h"

// A horizontal track with a square thumb: element 0 is the track, element 1 the thumb.
class CUISlider : public CUIControl {
public:
  explicit CUISlider(ControlHost* host) : CUIControl(host, kControlSlider) {}

  bool ContainsPoint(Platform::Point point) override;
  bool CanHaveFocus() override { return visible && enabled; }
  bool HandleKeyboard(const Platform::WindowEvent& event) override;
  bool HandleMouse(const Platform::WindowEvent& event, Platform::Point point) override;
  void UpdateBounds() override;
  void Render(float elapsedSeconds) override;
  void MouseCaptureLost() override { pressed = false; }

  // A change by the program: reported only when the dialog sends programmatic events.
  void SetValue(int newValue) { SetValueInternal(newValue, false); }
  int GetValue() const { return value; }
  // A maximum below the minimum is taken as the minimum; the value is clamped into the range.
  void SetRange(int newMinimum, int newMaximum);
  int GetMinimum() const { return minimum; }
  int GetMaximum() const { return maximum; }
  bool IsPressed() const { return pressed; }
  const UIRect& ThumbRect() const { return thumbRect; }

protected:
  friend class Dialog;  // sets the starting values without reporting them
  void SetValueInternal(int newValue, bool fromInput);
  // The value whose thumb centre lies at pixel atX of the dialog.
  int ValueFromPosition(int atX) const;
  int ThumbCentre() const;

  int value = 50;
  int minimum = 0;
  int maximum = 100;
  int dragOffset = 0;
  bool pressed = false;
  UIRect thumbRect;
};
