#pragma once

#include <string>
#include <vector>

#include "framework/ui_control.h"
#include "framework/ui_scroll_bar.h"

// A list of text lines always open, one of them selected, with a scroll bar when they do not fit
// (a file browser's entries). Elements: 0 the list and its text, 1 the selected line.
// A click selects a line, a double click or Enter activates it; the arrows, Page Up/Down, Home
// and End move the selection while the list has the focus.
class CUIListBox : public CUIControl {
public:
  explicit CUIListBox(ControlHost* host);

  Platform::Result Initialize() override;
  void Refresh() override;
  void Render(float elapsedSeconds) override;
  bool HandleKeyboard(const Platform::WindowEvent& event) override;
  bool HandleMouse(const Platform::WindowEvent& event, Platform::Point point) override;
  bool CanHaveFocus() override { return visible && enabled; }
  void MouseCaptureLost() override { scrollBar.MouseCaptureLost(); }
  void UpdateBounds() override;

  // Text up to 255 code points. The first line added becomes the selection.
  void AddItem(const std::string& text);
  void RemoveAllItems();
  // Selects the line (and scrolls to it); -1 selects none. Reported only when the dialog sends
  // programmatic events.
  void SetSelectedIndex(int itemIndex);
  int GetSelectedIndex() const { return selected; }
  // Moves the selection by delta lines, stopping at either end, as the arrows do.
  void MoveSelection(int delta, bool fromInput);
  int GetNumItems() const { return static_cast<int>(items.size()); }
  const std::string& GetItem(int itemIndex) const { return items[static_cast<size_t>(itemIndex)]; }
  CUIScrollBar& ScrollBar() { return scrollBar; }

  static constexpr size_t kMaxItemCodePoints = 255;
  static constexpr int kScrollBarWidth = 16;
  static constexpr int kWheelLinesPerNotch = 3;

private:
  int ItemHeight();
  // The line under point, or -1.
  int ItemAt(Platform::Point point);
  void Select(int itemIndex, bool fromInput);

  std::vector<std::string> items;
  int selected = -1;
  CUIScrollBar scrollBar;
  UIRect textRect;
};
