#pragma once

#include "framework/ui_control.h"

// A vertical scroll bar over a range of items of which a page shows at once (the combo box's
// list). Elements: 0 track, 1 up arrow, 2 down arrow, 3 thumb. It raises no events: its owner
// reads the position.
class CUIScrollBar : public CUIControl {
public:
  explicit CUIScrollBar(ControlHost* host) : CUIControl(host, kControlScrollBar) {}

  bool HandleMouse(const Platform::WindowEvent& event, Platform::Point point) override;
  void Render(float elapsedSeconds) override;
  void UpdateBounds() override;
  void MouseCaptureLost() override { dragging = false; }

  // Items start..end-1 exist; the position is the first one shown.
  void SetTrackRange(int start, int end);
  int GetTrackPos() const { return position; }
  void SetTrackPos(int newPosition);
  int GetPageSize() const { return pageSize; }
  void SetPageSize(int size);
  // Moves the position by delta items.
  void Scroll(int delta);
  // Scrolls just enough to show the item.
  void ShowItem(int item);

private:
  void Clamp();
  void UpdateThumb();

  int position = 0;
  int pageSize = 1;
  int start = 0;
  int end = 1;
  bool dragging = false;
  int dragOffsetY = 0;
  bool showThumb = false;
  UIRect upRect, downRect, trackRect, thumbRect;
};
