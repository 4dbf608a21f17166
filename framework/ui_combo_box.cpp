#include "framework/ui_combo_box.h"

#include <algorithm>

#include "framework/control_host.h"
#include "framework/ui_text.h"

using namespace Platform;

CUIComboBox::CUIComboBox(ControlHost* owner) : CUIButton(owner, kControlComboBox), scrollBar(owner) {}

Result CUIComboBox::Initialize() {
  host->ApplyDefaultElements(scrollBar);
  return scrollBar.Initialize();
}

void CUIComboBox::Refresh() {
  CUIButton::Refresh();
  scrollBar.Refresh();
}

void CUIComboBox::SetDropHeight(int pixels) {
  dropHeight = std::max(pixels, 0);
  UpdateBounds();
}

void CUIComboBox::SetDropWidth(int pixels) {
  dropWidth = std::max(pixels, 0);
  UpdateBounds();
}

int CUIComboBox::ItemHeight() {
  const ControlElement* list = GetElement(2);
  const int fontHeight = list ? host->FontHeight(*list) : 0;
  // A little air between the lines so the selection bar does not touch the next item's text.
  return std::max(fontHeight + 4, 1);
}

void CUIComboBox::UpdateBounds() {
  CUIButton::UpdateBounds();
  const UIRect& box = boundingBox;
  buttonRect = UIRect{box.right - box.Height(), box.top, box.right, box.bottom};
  textRect = UIRect{box.left, box.top, buttonRect.left, box.bottom};
  dropDownRect = UIRect{std::min(box.left, box.right - dropWidth), box.bottom, box.right, box.bottom + dropHeight};
  const int barRight = dropDownRect.right - 3;
  scrollBar.SetLocation(barRight - kScrollBarWidth, dropDownRect.top + 2);
  scrollBar.SetSize(kScrollBarWidth, std::max(dropHeight - 4, 0));
  dropDownTextRect = UIRect{dropDownRect.left + 4, dropDownRect.top + 2, barRight - kScrollBarWidth - 2,
                            dropDownRect.bottom - 2};
  if (host) scrollBar.SetPageSize(std::max(dropDownTextRect.Height() / ItemHeight(), 1));
}

Result CUIComboBox::AddItem(const std::string& itemText, void* data) {
  if (itemText.empty()) return kInvalidArgument;
  ComboBoxItem item;
  item.text = TruncateCodePoints(itemText, kMaxItemCodePoints);
  item.data = data;
  try {
    items.push_back(std::move(item));
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  scrollBar.SetTrackRange(0, GetNumItems());
  if (items.size() == 1) {
    selected = focused = 0;
    host->SendEvent(kEventComboBoxSelectionChanged, false, this);
  }
  return kOk;
}

void CUIComboBox::RemoveAllItems() {
  items.clear();
  selected = focused = -1;
  opened = false;
  scrollBar.SetTrackRange(0, 0);
}

Result CUIComboBox::SetSelectedByIndex(int itemIndex) {
  if (itemIndex < 0 || itemIndex >= GetNumItems()) return kInvalidArgument;
  focused = selected = itemIndex;
  host->SendEvent(kEventComboBoxSelectionChanged, false, this);
  return kOk;
}

ComboBoxItem* CUIComboBox::GetSelectedItem() { return GetItem(selected); }

void* CUIComboBox::GetSelectedData() {
  ComboBoxItem* item = GetSelectedItem();
  return item ? item->data : nullptr;
}

ComboBoxItem* CUIComboBox::GetItem(int itemIndex) {
  return itemIndex >= 0 && itemIndex < GetNumItems() ? &items[itemIndex] : nullptr;
}

void CUIComboBox::Select(int itemIndex, bool fromInput) {
  focused = selected = itemIndex;
  host->SendEvent(kEventComboBoxSelectionChanged, fromInput, this);
}

void CUIComboBox::Close() {
  opened = false;
  GiveUpFocusAfterClick();
}

void CUIComboBox::FocusOut() {
  CUIButton::FocusOut();
  opened = false;
}

void CUIComboBox::Hotkey() {
  if (host->IsKeyboardInputEnabled()) host->RequestFocus(this);
  if (items.empty()) return;
  Select((selected + 1) % GetNumItems(), true);
}

bool CUIComboBox::HandleKeyboard(const WindowEvent& event) {
  if (!enabled || !visible || event.type != EventType::KeyDown) return false;
  switch (event.key) {
    case VK_RETURN:
      if (!opened) return false;
      // The list shows the focused item; Enter makes it the selection.
      if (focused != selected) Select(focused, true);
      Close();
      return true;
    case VK_ESCAPE:
      if (!opened) return false;
      // Takes back what the arrows highlighted and closes the list; the key goes no further.
      focused = selected;
      Close();
      return true;
    case VK_F4:
      if (event.repeat) return true;
      if (!opened) {
        opened = true;
        focused = selected;
        scrollBar.ShowItem(focused);
      } else {
        Select(focused, true);
        Close();
      }
      return true;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: {
      const int step = (event.key == VK_LEFT || event.key == VK_UP) ? -1 : 1;
      const int target = focused + step;
      if (target < 0 || target >= GetNumItems()) return true;
      if (opened) {
        // While open the arrows only move the highlight; Enter or F4 adopts it.
        focused = target;
        scrollBar.ShowItem(focused);
      } else {
        Select(target, true);
      }
      return true;
    }
    default:
      return false;
  }
}

void CUIComboBox::LayoutItems() {
  for (ComboBoxItem& item : items) item.visible = false;
  const int itemHeight = ItemHeight();
  int top = dropDownTextRect.top;
  for (int i = scrollBar.GetTrackPos(); i < GetNumItems(); ++i) {
    if (top + itemHeight > dropDownTextRect.bottom) break;
    items[i].activeRect = UIRect{dropDownTextRect.left, top, dropDownTextRect.right, top + itemHeight};
    items[i].visible = true;
    top += itemHeight;
  }
}

bool CUIComboBox::HandleMouse(const WindowEvent& event, Point point) {
  if (!enabled || !visible) return false;
  if (opened) LayoutItems();
  switch (MouseActionOf(event)) {
    case MouseAction::Move:
      if (!opened || !Inside(dropDownRect, point)) return false;
      if (scrollBar.HandleMouse(event, point)) return true;
      for (int i = 0; i < GetNumItems(); ++i) {
        if (items[i].visible && Inside(items[i].activeRect, point)) focused = i;
      }
      return true;
    case MouseAction::LeftDown:
    case MouseAction::LeftDoubleClick:
      if (ContainsPoint(point)) {
        pressed = true;
        host->CaptureMouse();
        if (!hasFocus) host->RequestFocus(this);
        if (!hasFocus) return true;
        opened = !opened;
        if (opened) {
          focused = selected;
          scrollBar.ShowItem(focused);
        } else {
          focused = selected;
          Close();
        }
        return true;
      }
      if (!opened) return false;
      if (scrollBar.HandleMouse(event, point)) return true;
      if (Inside(dropDownRect, point)) {
        for (int i = 0; i < GetNumItems(); ++i) {
          if (items[i].visible && Inside(items[i].activeRect, point)) {
            Select(i, true);
            Close();
            return true;
          }
        }
        return true;
      }
      // A click outside the open list closes it, keeping the selection; the click goes on to
      // whatever lies under it.
      focused = selected;
      opened = false;
      host->SendEvent(kEventComboBoxSelectionChanged, true, this);
      return false;
    case MouseAction::LeftUp:
      if (scrollBar.HandleMouse(event, point)) return true;
      if (!pressed) return false;
      pressed = false;
      host->ReleaseMouse();
      return true;
    case MouseAction::Wheel: {
      const int notches = event.wheelDelta / kWheelNotch;
      if (opened) {
        scrollBar.Scroll(-notches * kWheelLinesPerNotch);
        return true;
      }
      // Forward turns move up the list; nothing is reported when the selection cannot move.
      const int target = selected - (notches > 0 ? 1 : notches < 0 ? -1 : 0);
      if (target != selected && target >= 0 && target < GetNumItems()) Select(target, true);
      return true;
    }
    default:
      return false;
  }
}

void CUIComboBox::Render(float elapsedSeconds) {
  if (!visible || elements.size() < 4) return;
  const ControlState state = opened ? ControlState::Pressed : CurrentState(pressed);

  if (opened) {
    LayoutItems();
    ControlElement& list = elements[2];
    list.textureColor.Blend(ControlState::Normal, elapsedSeconds);
    list.fontColor.Blend(ControlState::Normal, elapsedSeconds);
    host->DrawSprite(list, dropDownRect, 0.5f);
    ControlElement& selection = elements[3];
    selection.textureColor.Blend(ControlState::Normal, elapsedSeconds);
    selection.fontColor.Blend(ControlState::Normal, elapsedSeconds);
    for (int i = 0; i < GetNumItems(); ++i) {
      const ComboBoxItem& item = items[i];
      if (!item.visible) continue;
      const UIRect textArea{item.activeRect.left + 4, item.activeRect.top, item.activeRect.right,
                            item.activeRect.bottom};
      if (i == focused) {
        host->DrawSprite(selection, item.activeRect, 0.5f);
        host->DrawText(item.text, selection, textArea);
      } else {
        host->DrawText(item.text, list, textArea);
      }
    }
    scrollBar.Render(elapsedSeconds);
  }

  ControlElement& face = elements[0];
  face.textureColor.Blend(state, elapsedSeconds, kButtonBlendRate);
  face.fontColor.Blend(state, elapsedSeconds, kButtonBlendRate);
  host->DrawSprite(face, textRect, 0.8f);
  ControlElement& button = elements[1];
  button.textureColor.Blend(state, elapsedSeconds, kButtonBlendRate);
  host->DrawSprite(button, buttonRect, 0.8f);
  if (const ComboBoxItem* item = GetItem(selected)) {
    host->DrawText(item->text, face, UIRect{textRect.left + 6, textRect.top, textRect.right, textRect.bottom}, true);
  }
}
