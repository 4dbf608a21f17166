#include "framework/ui_check_box.h"

#include "framework/control_host.h"

void CUICheckBox::SetCheckedInternal(bool check, bool fromInput) {
  checked = check;
  host->SendEvent(kEventCheckBoxChanged, fromInput, this);
}

void CUICheckBox::UpdateBounds() {
  CUIButton::UpdateBounds();
  const int side = boundingBox.Height();
  boxRect = UIRect{boundingBox.left, boundingBox.top, boundingBox.left + side, boundingBox.bottom};
  textRect = boundingBox;
  textRect.left += side + side / 4;
}

void CUICheckBox::Render(float elapsedSeconds) {
  if (!visible || elements.size() < 2) return;
  const ControlState state = CurrentState(pressed);

  ControlElement& box = elements[0];
  box.textureColor.Blend(state, elapsedSeconds, kButtonBlendRate);
  box.fontColor.Blend(state, elapsedSeconds, kButtonBlendRate);
  host->DrawSprite(box, boxRect, 0.8f);
  host->DrawText(text, box, textRect, true);

  ControlElement& mark = elements[1];
  mark.textureColor.Blend(checked ? state : ControlState::Hidden, elapsedSeconds);
  host->DrawSprite(mark, boxRect, 0.6f);
}
