#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/dialog_resource_manager.h"
#include "framework/ui_control.h"
#include "framework/ui_input.h"

// What a control asks of the dialog that holds it: reporting its changes, the focus, the mouse
// capture, the input state and drawing. Controls know their dialog only through this, so that
// the dialog may know every kind of control without the controls knowing it.
class ControlHost {
public:
  virtual ~ControlHost() = default;

  // Reports a change of control to the dialog's GUI event callback (fromInput: by the user).
  virtual void SendEvent(uint32_t eventCode, bool fromInput, CUIControl* control) = 0;
  // Moves the one focus of all dialogs to control when it can take it.
  virtual void RequestFocus(CUIControl* control) = 0;
  // Takes the focus from whichever control of any dialog has it.
  virtual void ClearAllFocus() = 0;
  virtual void ClearRadioButtonGroup(uint32_t group) = 0;
  // The capture goes to the window of the event being handled.
  virtual void CaptureMouse() = 0;
  virtual void ReleaseMouse() = 0;
  virtual UIInput& Input() = 0;
  virtual bool IsKeyboardInputEnabled() const = 0;
  // Copies the default elements of the control's type into it.
  virtual void ApplyDefaultElements(CUIControl& control) = 0;

  // Drawing, in control-area pixels; no-ops without a device.
  virtual void DrawSprite(const ControlElement& element, const UIRect& rect, float depth) = 0;
  // A solid rectangle of colour (a flat part of the control texture, tinted).
  virtual void DrawSolidRect(const UIRect& rect, ArgbColor color, float depth) = 0;
  virtual void DrawText(const std::string& text, const ControlElement& element, const UIRect& rect,
                        bool shadow = false) = 0;
  virtual void DrawText(const std::string& text, const ControlElement& element, const UIRect& rect, ColorF color,
                        bool shadow) = 0;
  virtual int TextWidth(const ControlElement& element, const std::string& text) = 0;
  virtual int CaretX(const ControlElement& element, const std::string& text, size_t index) = 0;
  virtual size_t HitTest(const ControlElement& element, const std::string& text, float atX) = 0;
  // Line height of the element's font (its requested height; 0 for an unknown font).
  virtual int FontHeight(const ControlElement& element) = 0;
};
