#pragma once

#include <string>
#include <vector>

#include "framework/ui_button.h"
#include "framework/ui_scroll_bar.h"

struct ComboBoxItem {
  std::string text;  // up to 255 code points
  void* data = nullptr;
  UIRect activeRect;  // where the item lies in the open list
  bool visible = false;
};

// A button showing the selected item, with a drop-down list under it. Elements: 0 face,
// 1 drop-down button, 2 list, 3 selection in the list.
class CUIComboBox : public CUIButton {
public:
  explicit CUIComboBox(ControlHost* host);

  Platform::Result Initialize() override;
  void Refresh() override;
  void Render(float elapsedSeconds) override;
  bool HandleKeyboard(const Platform::WindowEvent& event) override;
  bool HandleMouse(const Platform::WindowEvent& event, Platform::Point point) override;
  void Hotkey() override;
  void FocusOut() override;
  void MouseCaptureLost() override {
    CUIButton::MouseCaptureLost();
    scrollBar.MouseCaptureLost();
  }
  void UpdateBounds() override;

  // Text up to 255 code points; empty text is an invalid argument. The first item becomes the
  // selection (reported only when the dialog sends programmatic events).
  Platform::Result AddItem(const std::string& itemText, void* data);
  void RemoveAllItems();
  Platform::Result SetSelectedByIndex(int itemIndex);
  int GetSelectedIndex() const { return selected; }
  // The selected item, or null when there is none.
  ComboBoxItem* GetSelectedItem();
  void* GetSelectedData();
  ComboBoxItem* GetItem(int itemIndex);
  int GetNumItems() const { return static_cast<int>(items.size()); }
  bool IsOpened() const { return opened; }
  void SetDropHeight(int pixels);
  // An open list wider than the box, for items longer than the box shows; it keeps its right
  // edge under the box's and grows to the left, since pickers sit on panels at the window's
  // right side. 0 (the default): as wide as the box.
  void SetDropWidth(int pixels);
  CUIScrollBar& ScrollBar() { return scrollBar; }

  static constexpr size_t kMaxItemCodePoints = 255;
  static constexpr int kScrollBarWidth = 16;
  static constexpr int kWheelLinesPerNotch = 3;

private:
  // Places the items shown in the open list; mouse handling and drawing both use it.
  void LayoutItems();
  void Select(int itemIndex, bool fromInput);
  void Close();
  int ItemHeight();

  std::vector<ComboBoxItem> items;
  int selected = -1;
  int focused = -1;
  int dropHeight = 100;
  int dropWidth = 0;
  bool opened = false;
  CUIScrollBar scrollBar;
  UIRect textRect, buttonRect, dropDownRect, dropDownTextRect;
};
