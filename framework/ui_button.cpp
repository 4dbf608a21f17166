#include "framework/ui_button.h"

#include "framework/control_host.h"

using namespace Platform;

void CUIButton::Render(float elapsedSeconds) {
  if (!visible || elements.size() < 2) return;
  int offsetX = 0, offsetY = 0;
  const ControlState state = CurrentState(pressed);
  if (state == ControlState::Pressed) {
    offsetX = 1;
    offsetY = 2;
  } else if (state == ControlState::MouseOver) {
    offsetX = -1;
    offsetY = -2;
  }
  const UIRect rect{boundingBox.left + offsetX, boundingBox.top + offsetY, boundingBox.right + offsetX,
                    boundingBox.bottom + offsetY};

  ControlElement& face = elements[0];
  face.textureColor.Blend(state, elapsedSeconds, kButtonBlendRate);
  face.fontColor.Blend(state, elapsedSeconds, kButtonBlendRate);
  host->DrawSprite(face, rect, 0.8f);
  host->DrawText(text, face, rect, true);

  ControlElement& fill = elements[1];
  fill.textureColor.Blend(state, elapsedSeconds, kButtonBlendRate);
  fill.fontColor.Blend(state, elapsedSeconds, kButtonBlendRate);
  host->DrawSprite(fill, rect, 0.6f);
  host->DrawText(text, fill, rect, true);
}

bool CUIButton::HandleKeyboard(const WindowEvent& event) {
  if (!enabled || !visible || event.key != VK_SPACE) return false;
  if (event.type == EventType::KeyDown) {
    pressed = true;
    return true;
  }
  if (event.type == EventType::KeyUp) {
    if (pressed) {
      pressed = false;
      OnClicked();
    }
    return true;
  }
  return false;
}

bool CUIButton::HandleMouse(const WindowEvent& event, Point point) {
  if (!enabled || !visible) return false;
  switch (MouseActionOf(event)) {
    case MouseAction::LeftDown:
    case MouseAction::LeftDoubleClick:
      if (!ContainsPoint(point)) return false;
      pressed = true;
      host->CaptureMouse();
      if (!hasFocus) host->RequestFocus(this);
      return true;
    case MouseAction::LeftUp:
      if (!pressed) return false;
      pressed = false;
      host->ReleaseMouse();
      GiveUpFocusAfterClick();
      if (ContainsPoint(point)) OnClicked();
      return true;
    default:
      return false;
  }
}

void CUIButton::Hotkey() {
  if (host->IsKeyboardInputEnabled()) host->RequestFocus(this);
  OnClicked();
}

void CUIButton::OnClicked() { host->SendEvent(kEventButtonClicked, true, this); }

void CUIButton::GiveUpFocusAfterClick() {
  if (!host->IsKeyboardInputEnabled() && hasFocus) host->ClearAllFocus();
}
