#include "framework/ui_scroll_bar.h"

#include <algorithm>

#include "framework/control_host.h"

using namespace Platform;

void CUIScrollBar::UpdateBounds() {
  CUIControl::UpdateBounds();
  const int arrow = boundingBox.Width();
  upRect = UIRect{boundingBox.left, boundingBox.top, boundingBox.right, boundingBox.top + arrow};
  downRect = UIRect{boundingBox.left, boundingBox.bottom - arrow, boundingBox.right, boundingBox.bottom};
  trackRect = UIRect{boundingBox.left, upRect.bottom, boundingBox.right, downRect.top};
  UpdateThumb();
}

void CUIScrollBar::UpdateThumb() {
  const int range = end - start;
  showThumb = range > pageSize;
  if (!showThumb) {
    thumbRect = trackRect;
    return;
  }
  const int trackHeight = std::max(trackRect.Height(), 0);
  const int thumbHeight = std::max(trackHeight * pageSize / range, 8);
  const int maxPosition = range - pageSize;
  const int top = trackRect.top + (position - start) * (trackHeight - thumbHeight) / maxPosition;
  thumbRect = UIRect{trackRect.left, top, trackRect.right, top + thumbHeight};
}

void CUIScrollBar::Clamp() {
  position = std::clamp(position, start, std::max(start, end - pageSize));
  UpdateThumb();
}

void CUIScrollBar::SetTrackRange(int newStart, int newEnd) {
  start = newStart;
  end = std::max(newStart, newEnd);
  Clamp();
}

void CUIScrollBar::SetTrackPos(int newPosition) {
  position = newPosition;
  Clamp();
}

void CUIScrollBar::SetPageSize(int size) {
  pageSize = std::max(size, 1);
  Clamp();
}

void CUIScrollBar::Scroll(int delta) {
  position += delta;
  Clamp();
}

void CUIScrollBar::ShowItem(int item) {
  if (item < 0) return;
  if (item < position) {
    position = item;
  } else if (item >= position + pageSize) {
    position = item - pageSize + 1;
  }
  Clamp();
}

bool CUIScrollBar::HandleMouse(const WindowEvent& event, Point point) {
  if (!enabled || !visible) return false;
  switch (MouseActionOf(event)) {
    case MouseAction::LeftDown:
    case MouseAction::LeftDoubleClick:
      if (Inside(upRect, point)) {
        Scroll(-1);
        return true;
      }
      if (Inside(downRect, point)) {
        Scroll(1);
        return true;
      }
      if (showThumb && Inside(thumbRect, point)) {
        dragging = true;
        dragOffsetY = point.y - thumbRect.top;
        host->CaptureMouse();
        return true;
      }
      if (showThumb && Inside(trackRect, point)) {
        Scroll(point.y < thumbRect.top ? -pageSize : pageSize);
        return true;
      }
      return false;
    case MouseAction::Move:
      if (!dragging) return false;
      {
        const int travel = trackRect.Height() - thumbRect.Height();
        const int maxPosition = end - start - pageSize;
        if (travel > 0 && maxPosition > 0) {
          const int top = std::clamp(point.y - dragOffsetY, trackRect.top, trackRect.top + travel);
          position = start + ((top - trackRect.top) * maxPosition + travel / 2) / travel;
          Clamp();
        }
      }
      return true;
    case MouseAction::LeftUp:
      if (!dragging) return false;
      dragging = false;
      host->ReleaseMouse();
      return true;
    default:
      return false;
  }
}

void CUIScrollBar::Render(float elapsedSeconds) {
  if (!visible || elements.size() < 4) return;
  const ControlState state = CurrentState(dragging);
  // Arrows show disabled while there is nothing to scroll.
  const ControlState arrowState = showThumb ? state : ControlState::Disabled;
  elements[0].textureColor.Blend(state, elapsedSeconds);
  host->DrawSprite(elements[0], trackRect, 0.5f);
  elements[1].textureColor.Blend(arrowState, elapsedSeconds);
  host->DrawSprite(elements[1], upRect, 0.5f);
  elements[2].textureColor.Blend(arrowState, elapsedSeconds);
  host->DrawSprite(elements[2], downRect, 0.5f);
  elements[3].textureColor.Blend(showThumb ? state : ControlState::Hidden, elapsedSeconds);
  host->DrawSprite(elements[3], thumbRect, 0.5f);
}
