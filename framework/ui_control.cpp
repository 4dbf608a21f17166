#include "framework/ui_control.h"

#include <cmath>

#include "framework/framework.h"

namespace {

float Fade(float current, float target, float keep) { return current + (target - current) * (1.0f - keep); }

// Closer than half an 8-bit step the fade no longer shows.
constexpr float kUnseenDifference = 0.5f / 255.0f;

bool Reached(const ColorF& current, const ColorF& target) {
  return std::fabs(current.r - target.r) < kUnseenDifference && std::fabs(current.g - target.g) < kUnseenDifference &&
         std::fabs(current.b - target.b) < kUnseenDifference && std::fabs(current.a - target.a) < kUnseenDifference;
}

}  // namespace

void BlendColor::Init(ArgbColor defaultColor, ArgbColor disabledColor, ArgbColor hiddenColor) {
  for (ArgbColor& state : states) state = defaultColor;
  states[static_cast<int>(ControlState::Disabled)] = disabledColor;
  states[static_cast<int>(ControlState::Hidden)] = hiddenColor;
  current = ToColorF(hiddenColor);
}

void BlendColor::Blend(ControlState state, float elapsedSeconds, float rate) {
  const ColorF target = ToColorF(states[static_cast<int>(state)]);
  if (state == ControlState::Pressed) {
    current = target;
    return;
  }
  const float keep = std::pow(rate, 30.0f * elapsedSeconds);
  current.r = Fade(current.r, target.r, keep);
  current.g = Fade(current.g, target.g, keep);
  current.b = Fade(current.b, target.b, keep);
  current.a = Fade(current.a, target.a, keep);
  if (Reached(current, target)) {
    current = target;
  } else {
    FrameworkRequestFrame();
  }
}

void ControlElement::SetTexture(int textureIndex, const UIRect& rect, ArgbColor defaultColor) {
  texture = textureIndex;
  textureRect = rect;
  textureColor.Init(defaultColor);
}

void ControlElement::SetFont(int fontIndex, ArgbColor defaultColor, uint32_t format) {
  font = fontIndex;
  fontColor.Init(defaultColor);
  textFormat = format;
}

void ControlElement::Refresh() {
  textureColor.Refresh();
  fontColor.Refresh();
}

CUIControl::CUIControl(ControlHost* owner, int typeCode) : host(owner), type(typeCode) {}

MouseAction MouseActionOf(const Platform::WindowEvent& event) {
  using Platform::EventType;
  using Platform::MouseButton;
  switch (event.type) {
    case EventType::MouseMove: return MouseAction::Move;
    case EventType::Wheel: return MouseAction::Wheel;
    case EventType::ButtonDown: return event.button == MouseButton::Left ? MouseAction::LeftDown : MouseAction::None;
    case EventType::DoubleClick:
      return event.button == MouseButton::Left ? MouseAction::LeftDoubleClick : MouseAction::None;
    case EventType::ButtonUp: return event.button == MouseButton::Left ? MouseAction::LeftUp : MouseAction::None;
    default: return MouseAction::None;
  }
}

CUIControl::~CUIControl() = default;

void CUIControl::Refresh() {
  mouseOver = false;
  hasFocus = false;
  for (ControlElement& element : elements) element.Refresh();
}

bool CUIControl::ContainsPoint(Platform::Point point) { return Inside(boundingBox, point); }

void CUIControl::SetTextColor(ArgbColor color) {
  if (ControlElement* element = GetElement(0)) element->fontColor.states[static_cast<int>(ControlState::Normal)] = color;
}

void CUIControl::UpdateBounds() { boundingBox = UIRect{x, y, x + width, y + height}; }

void CUIControl::SetLocation(int newX, int newY) {
  x = newX;
  y = newY;
  UpdateBounds();
}

void CUIControl::SetSize(int newWidth, int newHeight) {
  width = newWidth;
  height = newHeight;
  UpdateBounds();
}

Platform::Result CUIControl::SetElement(size_t elementIndex, const ControlElement& element) {
  if (elementIndex > 64) return Platform::kInvalidArgument;
  if (elements.size() <= elementIndex) elements.resize(elementIndex + 1);
  elements[elementIndex] = element;
  return Platform::kOk;
}

ControlElement* CUIControl::GetElement(size_t elementIndex) {
  return elementIndex < elements.size() ? &elements[elementIndex] : nullptr;
}

ControlState CUIControl::CurrentState(bool pressed) const {
  if (!visible) return ControlState::Hidden;
  if (!enabled) return ControlState::Disabled;
  if (pressed) return ControlState::Pressed;
  if (mouseOver) return ControlState::MouseOver;
  if (hasFocus) return ControlState::Focus;
  return ControlState::Normal;
}
