#include "framework/ui_button.h"

#include "framework/dialog.h"

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
  dialog->DrawSprite(face, rect, 0.8f);
  dialog->DrawText(text, face, rect, true);

  ControlElement& fill = elements[1];
  fill.textureColor.Blend(state, elapsedSeconds, kButtonBlendRate);
  fill.fontColor.Blend(state, elapsedSeconds, kButtonBlendRate);
  dialog->DrawSprite(fill, rect, 0.6f);
  dialog->DrawText(text, fill, rect, true);
}

bool CUIButton::HandleKeyboard(uint32_t message, WPARAM wParam, LPARAM) {
  if (!enabled || !visible || wParam != VK_SPACE) return false;
  if (message == WM_KEYDOWN) {
    pressed = true;
    return true;
  }
  if (message == WM_KEYUP) {
    if (pressed) {
      pressed = false;
      OnClicked();
    }
    return true;
  }
  return false;
}

bool CUIButton::HandleMouse(uint32_t message, Point point, WPARAM, LPARAM) {
  if (!enabled || !visible) return false;
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (!ContainsPoint(point)) return false;
      pressed = true;
      dialog->CaptureMouse();
      if (!hasFocus) dialog->RequestFocus(this);
      return true;
    case WM_LBUTTONUP:
      if (!pressed) return false;
      pressed = false;
      dialog->ReleaseMouse();
      GiveUpFocusAfterClick();
      if (ContainsPoint(point)) OnClicked();
      return true;
    default:
      return false;
  }
}

void CUIButton::Hotkey() {
  if (dialog->IsKeyboardInputEnabled()) dialog->RequestFocus(this);
  OnClicked();
}

void CUIButton::OnClicked() { dialog->SendEvent(kEventButtonClicked, true, this); }

void CUIButton::GiveUpFocusAfterClick() {
  if (!dialog->IsKeyboardInputEnabled() && hasFocus) Dialog::ClearFocus();
}
