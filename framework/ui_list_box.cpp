#include "framework/ui_list_box.h"

#include <algorithm>

#include "framework/control_host.h"
#include "framework/ui_text.h"

using namespace Platform;

CUIListBox::CUIListBox(ControlHost* owner) : CUIControl(owner, kControlListBox), scrollBar(owner) {}

Result CUIListBox::Initialize() {
  host->ApplyDefaultElements(scrollBar);
  return scrollBar.Initialize();
}

void CUIListBox::Refresh() {
  CUIControl::Refresh();
  scrollBar.Refresh();
}

int CUIListBox::ItemHeight() {
  const ControlElement* list = GetElement(0);
  const int fontHeight = list ? host->FontHeight(*list) : 0;
  // A little air between the lines so the selection bar does not touch the next line's text.
  return std::max(fontHeight + 4, 1);
}

void CUIListBox::UpdateBounds() {
  CUIControl::UpdateBounds();
  const UIRect& box = boundingBox;
  const int barRight = box.right - 2;
  scrollBar.SetLocation(barRight - kScrollBarWidth, box.top + 2);
  scrollBar.SetSize(kScrollBarWidth, std::max(box.Height() - 4, 0));
  textRect = UIRect{box.left + 4, box.top + 2, barRight - kScrollBarWidth - 2, box.bottom - 2};
  if (host) scrollBar.SetPageSize(std::max(textRect.Height() / ItemHeight(), 1));
}

void CUIListBox::AddItem(const std::string& text) {
  items.emplace_back(TruncateCodePoints(text, kMaxItemCodePoints));
  scrollBar.SetTrackRange(0, GetNumItems());
  if (items.size() == 1) Select(0, false);
}

void CUIListBox::RemoveAllItems() {
  items.clear();
  selected = -1;
  scrollBar.SetTrackRange(0, 0);
  scrollBar.SetTrackPos(0);
}

void CUIListBox::SetSelectedIndex(int itemIndex) {
  Select(std::clamp(itemIndex, -1, GetNumItems() - 1), false);
}

void CUIListBox::Select(int itemIndex, bool fromInput) {
  selected = itemIndex;
  scrollBar.ShowItem(selected);
  host->SendEvent(kEventListBoxSelectionChanged, fromInput, this);
}

void CUIListBox::MoveSelection(int delta, bool fromInput) {
  if (items.empty()) return;
  const int target = std::clamp(selected + delta, 0, GetNumItems() - 1);
  // Nothing is reported when the selection cannot move.
  if (target != selected) Select(target, fromInput);
}

bool CUIListBox::HandleKeyboard(const WindowEvent& event) {
  if (!enabled || !visible || event.type != EventType::KeyDown) return false;
  const int page = scrollBar.GetPageSize();
  switch (event.key) {
    case VK_UP: MoveSelection(-1, true); return true;
    case VK_DOWN: MoveSelection(1, true); return true;
    case VK_PRIOR: MoveSelection(-page, true); return true;
    case VK_NEXT: MoveSelection(page, true); return true;
    case VK_HOME: MoveSelection(-GetNumItems(), true); return true;
    case VK_END: MoveSelection(GetNumItems(), true); return true;
    case VK_RETURN:
      if (selected < 0) return false;
      host->SendEvent(kEventListBoxItemActivated, true, this);
      return true;
    default: return false;
  }
}

int CUIListBox::ItemAt(Point point) {
  if (!Inside(textRect, point)) return -1;
  const int item = scrollBar.GetTrackPos() + (point.y - textRect.top) / ItemHeight();
  return item < GetNumItems() ? item : -1;
}

bool CUIListBox::HandleMouse(const WindowEvent& event, Point point) {
  if (!enabled || !visible) return false;
  if (scrollBar.HandleMouse(event, point)) return true;
  switch (MouseActionOf(event)) {
    case MouseAction::LeftDown:
    case MouseAction::LeftDoubleClick: {
      if (!ContainsPoint(point)) return false;
      if (!hasFocus) host->RequestFocus(this);
      const int item = ItemAt(point);
      if (item < 0) return true;
      if (item != selected) Select(item, true);
      if (MouseActionOf(event) == MouseAction::LeftDoubleClick) host->SendEvent(kEventListBoxItemActivated, true, this);
      return true;
    }
    case MouseAction::LeftUp: return ContainsPoint(point);
    case MouseAction::Wheel:
      if (!ContainsPoint(point)) return false;
      scrollBar.Scroll(-(event.wheelDelta / kWheelNotch) * kWheelLinesPerNotch);
      return true;
    default:
      return false;
  }
}

void CUIListBox::Render(float elapsedSeconds) {
  if (!visible || elements.size() < 2) return;
  ControlElement& list = elements[0];
  const ControlState state = CurrentState(false);
  list.textureColor.Blend(state, elapsedSeconds);
  list.fontColor.Blend(state, elapsedSeconds);
  host->DrawSprite(list, boundingBox, 0.8f);
  ControlElement& selection = elements[1];
  selection.textureColor.Blend(ControlState::Normal, elapsedSeconds);
  selection.fontColor.Blend(ControlState::Normal, elapsedSeconds);
  const int itemHeight = ItemHeight();
  int top = textRect.top;
  for (int i = scrollBar.GetTrackPos(); i < GetNumItems() && top + itemHeight <= textRect.bottom; ++i) {
    const UIRect line{textRect.left, top, textRect.right, top + itemHeight};
    const UIRect textArea{line.left + 4, line.top, line.right, line.bottom};
    if (i == selected) {
      host->DrawSprite(selection, line, 0.7f);
      host->DrawText(items[static_cast<size_t>(i)], selection, textArea);
    } else {
      host->DrawText(items[static_cast<size_t>(i)], list, textArea);
    }
    top += itemHeight;
  }
  scrollBar.Render(elapsedSeconds);
}
