#include "framework/ui_slider.h"

#include <algorithm>
#include <cmath>

#include "framework/control_host.h"

using namespace Platform;

bool CUISlider::ContainsPoint(Point point) { return Inside(boundingBox, point) || Inside(thumbRect, point); }

void CUISlider::SetRange(int newMinimum, int newMaximum) {
  minimum = newMinimum;
  maximum = std::max(newMinimum, newMaximum);
  SetValueInternal(value, false);
  UpdateBounds();
}

void CUISlider::SetValueInternal(int newValue, bool fromInput) {
  newValue = std::clamp(newValue, minimum, maximum);
  if (newValue == value) return;
  value = newValue;
  UpdateBounds();
  host->SendEvent(kEventSliderValueChanged, fromInput, this);
}

int CUISlider::ThumbCentre() const {
  // A range of a single value has its thumb at the start rather than dividing by zero.
  if (maximum == minimum) return boundingBox.left;
  const long long offset = static_cast<long long>(value - minimum) * boundingBox.Width() / (maximum - minimum);
  return boundingBox.left + static_cast<int>(offset);
}

int CUISlider::ValueFromPosition(int atX) const {
  if (boundingBox.Width() <= 0) return minimum;
  const double perPixel = static_cast<double>(maximum - minimum) / boundingBox.Width();
  return static_cast<int>(std::lround(minimum + (atX - boundingBox.left) * perPixel));
}

void CUISlider::UpdateBounds() {
  CUIControl::UpdateBounds();
  const int side = boundingBox.Height();
  const int centre = ThumbCentre();
  thumbRect = UIRect{centre - side / 2, boundingBox.top, centre - side / 2 + side, boundingBox.bottom};
}

bool CUISlider::HandleKeyboard(const WindowEvent& event) {
  if (!enabled || !visible || event.type != EventType::KeyDown) return false;
  const int page = std::max((maximum - minimum) / 10, 10);
  switch (event.key) {
    case VK_HOME: SetValueInternal(minimum, true); return true;
    case VK_END: SetValueInternal(maximum, true); return true;
    case VK_LEFT:
    case VK_DOWN: SetValueInternal(value - 1, true); return true;
    case VK_RIGHT:
    case VK_UP: SetValueInternal(value + 1, true); return true;
    case VK_NEXT: SetValueInternal(value - page, true); return true;
    case VK_PRIOR: SetValueInternal(value + page, true); return true;
    default: return false;
  }
}

bool CUISlider::HandleMouse(const WindowEvent& event, Point point) {
  if (!enabled || !visible) return false;
  switch (MouseActionOf(event)) {
    case MouseAction::LeftDown:
    case MouseAction::LeftDoubleClick:
      if (Inside(thumbRect, point)) {
        pressed = true;
        dragOffset = ThumbCentre() - point.x;
        host->CaptureMouse();
        if (!hasFocus) host->RequestFocus(this);
        return true;
      }
      if (Inside(boundingBox, point)) {
        pressed = true;
        dragOffset = 0;
        host->CaptureMouse();
        if (!hasFocus) host->RequestFocus(this);
        SetValueInternal(point.x > ThumbCentre() ? value + 1 : value - 1, true);
        dragOffset = ThumbCentre() - point.x;
        return true;
      }
      return false;
    case MouseAction::Move:
      if (!pressed) return false;
      SetValueInternal(ValueFromPosition(point.x + dragOffset), true);
      return true;
    case MouseAction::LeftUp:
      if (!pressed) return false;
      pressed = false;
      host->ReleaseMouse();
      host->SendEvent(kEventSliderValueChanged, true, this);
      return true;
    case MouseAction::Wheel: {
      const int notches = event.wheelDelta / kWheelNotch;
      SetValueInternal(value - notches, true);
      return true;
    }
    default:
      return false;
  }
}

void CUISlider::Render(float elapsedSeconds) {
  if (!visible || elements.size() < 2) return;
  const ControlState state = CurrentState(pressed);
  ControlElement& track = elements[0];
  track.textureColor.Blend(state, elapsedSeconds, kButtonBlendRate);
  host->DrawSprite(track, boundingBox, 0.8f);
  ControlElement& thumb = elements[1];
  thumb.textureColor.Blend(state, elapsedSeconds, kButtonBlendRate);
  host->DrawSprite(thumb, thumbRect, 0.6f);
}
