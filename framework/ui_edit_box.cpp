#include "framework/ui_edit_box.h"

#include <algorithm>

#include "framework/control_host.h"
#include "framework/framework.h"
#include "framework/ui_text.h"

using namespace Platform;

namespace {

bool IsSpace(char32_t c) { return c == U' ' || c == U'\t' || c == 0x3000 || c == 0xA0; }

std::u32string Printable(std::u32string_view input) {
  std::u32string result;
  for (char32_t c : input) {
    if (c >= 0x20 && c != 0x7F) result += c;
  }
  return result;
}

}  // namespace

CUIEditBox::CUIEditBox(ControlHost* owner) : CUIControl(owner, kControlEditBox) {}

bool CUIEditBox::ShiftDown() { return host->Input().IsKeyDown(VK_SHIFT); }
bool CUIEditBox::ControlDown() { return host->Input().IsKeyDown(VK_CONTROL); }

void CUIEditBox::UpdateBounds() {
  CUIControl::UpdateBounds();
  const UIRect& box = boundingBox;
  textArea = UIRect{box.left + kBorder, box.top + kBorder, box.right - kBorder, box.bottom - kBorder};
  textRect = UIRect{textArea.left + kSpacing, textArea.top, textArea.right - kSpacing, textArea.bottom};
  const UIRect& t = textArea;
  pieceRects[0] = t;
  pieceRects[1] = UIRect{box.left, box.top, t.left, t.top};
  pieceRects[2] = UIRect{t.left, box.top, t.right, t.top};
  pieceRects[3] = UIRect{t.right, box.top, box.right, t.top};
  pieceRects[4] = UIRect{box.left, t.top, t.left, t.bottom};
  pieceRects[5] = UIRect{t.right, t.top, box.right, t.bottom};
  pieceRects[6] = UIRect{box.left, t.bottom, t.left, box.bottom};
  pieceRects[7] = UIRect{t.left, t.bottom, t.right, box.bottom};
  pieceRects[8] = UIRect{t.right, t.bottom, box.right, box.bottom};
}

void CUIEditBox::SetText(const std::string& newText, bool selectAll) {
  characters = DecodeUtf8(TruncateCodePoints(newText, kMaxTextCodePoints));
  text = EncodeUtf8(characters);
  firstVisible = 0;
  PlaceCaret(characters.size());
  selectionStart = selectAll ? 0 : caret;
  changedSinceRead = false;
}

void CUIEditBox::TextChanged() { text = EncodeUtf8(characters); }

size_t CUIEditBox::ByteOffset(size_t position) const {
  size_t offset = 0;
  for (size_t i = 0; i < position && offset < text.size(); ++i) DecodeUtf8(text, offset);
  return offset;
}

int CUIEditBox::CaretPixel(size_t position) {
  const ControlElement* element = GetElement(0);
  return element ? host->CaretX(*element, text, position) : 0;
}

size_t CUIEditBox::PositionAt(int dialogX) {
  const ControlElement* element = GetElement(0);
  if (!element) return 0;
  const float atX = static_cast<float>(dialogX - textRect.left + CaretPixel(firstVisible));
  return std::min(host->HitTest(*element, text, atX), characters.size());
}

void CUIEditBox::PlaceCaret(size_t position) {
  caret = std::min(position, characters.size());
  firstVisible = std::min(firstVisible, characters.size());
  if (caret < firstVisible) {
    firstVisible = caret;
    return;
  }
  // Keep the caret, and in overwrite mode the character under it, inside the text rectangle.
  const int firstX = CaretPixel(firstVisible);
  const int caretEnd = CaretPixel(std::min(caret + 1, characters.size()));
  const int width = textRect.Width();
  if (caretEnd > firstX + width) {
    const int wantedX = caretEnd - width;
    size_t first = PositionAt(textRect.left + wantedX - firstX);
    if (CaretPixel(first) < wantedX && first < characters.size()) ++first;
    firstVisible = std::min(first, caret);
  }
}

void CUIEditBox::ResetCaretBlink() {
  caretOn = true;
  blinkSeconds = 0.0f;
  blinkingFor = 0.0f;
  blinkRestarted = true;
}

void CUIEditBox::FocusIn() {
  CUIControl::FocusIn();
  ResetCaretBlink();
}

void CUIEditBox::FocusOut() {
  CUIControl::FocusOut();
  mouseDragging = false;
  if (!changedSinceRead) return;
  changedSinceRead = false;
  host->SendEvent(kEventEditBoxLeft, true, this);
}

void CUIEditBox::ReportChange() {
  changedSinceRead = true;
  host->SendEvent(kEventEditBoxChange, true, this);
}

bool CUIEditBox::DeleteSelection() {
  if (!HasSelection()) return false;
  const size_t first = std::min(caret, selectionStart);
  const size_t last = std::max(caret, selectionStart);
  characters.erase(first, last - first);
  TextChanged();
  PlaceCaret(first);
  selectionStart = caret;
  return true;
}

void CUIEditBox::CopyToClipboard() {
  if (!HasSelection()) return;
  const size_t first = std::min(caret, selectionStart);
  const size_t last = std::max(caret, selectionStart);
  host->Input().SetClipboardText(EncodeUtf8(std::u32string_view(characters).substr(first, last - first)));
}

bool CUIEditBox::InsertAtCaret(std::u32string_view insert) {
  const size_t room = kMaxTextCodePoints - std::min(characters.size(), kMaxTextCodePoints);
  insert = insert.substr(0, room);
  if (insert.empty()) return false;
  characters.insert(caret, insert);
  TextChanged();
  PlaceCaret(caret + insert.size());
  selectionStart = caret;
  return true;
}

bool CUIEditBox::PasteFromClipboard() {
  // One line: line breaks and other control characters of the clipboard text are dropped.
  const std::u32string pasted = Printable(DecodeUtf8(host->Input().GetClipboardText()));
  const bool removed = DeleteSelection();
  const bool inserted = InsertAtCaret(pasted);
  return removed || inserted;
}

size_t CUIEditBox::PreviousWordStart(size_t position) const {
  while (position > 0 && IsSpace(characters[position - 1])) --position;
  while (position > 0 && !IsSpace(characters[position - 1])) --position;
  return position;
}

size_t CUIEditBox::NextWordStart(size_t position) const {
  const size_t size = characters.size();
  while (position < size && !IsSpace(characters[position])) ++position;
  while (position < size && IsSpace(characters[position])) ++position;
  return position;
}

void CUIEditBox::SelectWordAt(size_t position) {
  size_t first = std::min(position, characters.size());
  size_t last = first;
  while (first > 0 && !IsSpace(characters[first - 1])) --first;
  while (last < characters.size() && !IsSpace(characters[last])) ++last;
  selectionStart = first;
  PlaceCaret(last);
}

bool CUIEditBox::HandleKeyboard(const WindowEvent& event) {
  if (!enabled || !visible || event.type != EventType::KeyDown) return false;
  bool changed = false;
  switch (event.key) {
    case VK_HOME:
    case VK_END:
    case VK_LEFT:
    case VK_RIGHT: {
      size_t target = caret;
      if (event.key == VK_HOME) target = 0;
      else if (event.key == VK_END) target = characters.size();
      else if (event.key == VK_LEFT) target = ControlDown() ? PreviousWordStart(caret) : (caret > 0 ? caret - 1 : 0);
      else target = ControlDown() ? NextWordStart(caret) : std::min(caret + 1, characters.size());
      PlaceCaret(target);
      if (!ShiftDown()) selectionStart = caret;
      ResetCaretBlink();
      return true;
    }
    case VK_INSERT:
      if (ControlDown()) {
        CopyToClipboard();
      } else if (ShiftDown()) {
        changed = PasteFromClipboard();
      } else {
        insertMode = !insertMode;
      }
      break;
    case VK_DELETE:
      if (HasSelection()) {
        changed = DeleteSelection();
      } else if (caret < characters.size()) {
        characters.erase(caret, 1);
        TextChanged();
        changed = true;
      }
      selectionStart = caret;
      break;
    case 'A':
    case 'C':
    case 'X':
    case 'V':
      if (!ControlDown()) return false;
      if (event.key == 'A') {
        selectionStart = 0;
        PlaceCaret(characters.size());
      } else if (event.key == 'C') {
        CopyToClipboard();
      } else if (event.key == 'X') {
        CopyToClipboard();
        changed = DeleteSelection();
      } else {
        changed = PasteFromClipboard();
      }
      break;
    default:
      return false;
  }
  ResetCaretBlink();
  if (changed) ReportChange();
  return true;
}

bool CUIEditBox::HandleEvent(const WindowEvent& event) {
  if (!enabled || !visible || event.type != EventType::Text) return false;
  const char32_t character = event.codePoint;
  ResetCaretBlink();
  switch (character) {
    case U'\b': {
      bool changed = DeleteSelection();
      if (!changed && caret > 0) {
        characters.erase(caret - 1, 1);
        TextChanged();
        PlaceCaret(caret - 1);
        selectionStart = caret;
        changed = true;
      }
      if (changed) ReportChange();
      return true;
    }
    case U'\r':
      changedSinceRead = false;
      host->SendEvent(kEventEditBoxEnter, true, this);
      return true;
    default:
      break;
  }
  if (character < 0x20 || character == 0x7F) return true;  // other control characters type nothing

  bool changed = DeleteSelection();
  if (!insertMode && caret < characters.size()) {
    characters[caret] = character;
    TextChanged();
    PlaceCaret(caret + 1);
    selectionStart = caret;
    changed = true;
  } else {
    changed = InsertAtCaret(std::u32string_view(&character, 1)) || changed;
  }
  if (changed) ReportChange();
  return true;
}

bool CUIEditBox::HandleMouse(const WindowEvent& event, Point point) {
  if (!enabled || !visible) return false;
  switch (MouseActionOf(event)) {
    case MouseAction::LeftDown:
      if (!Inside(boundingBox, point)) return false;
      if (!hasFocus) host->RequestFocus(this);
      mouseDragging = true;
      host->CaptureMouse();
      PlaceCaret(PositionAt(point.x));
      if (!ShiftDown()) selectionStart = caret;
      ResetCaretBlink();
      return true;
    case MouseAction::LeftDoubleClick:
      // The second press of a double click selects what was clicked, ready to be typed over.
      if (!Inside(boundingBox, point)) return false;
      if (!hasFocus) host->RequestFocus(this);
      mouseDragging = false;
      SelectWordAt(PositionAt(point.x));
      ResetCaretBlink();
      return true;
    case MouseAction::Move:
      if (!mouseDragging) return false;
      PlaceCaret(PositionAt(point.x));
      return true;
    case MouseAction::LeftUp:
      if (!mouseDragging) return false;
      mouseDragging = false;
      host->ReleaseMouse();
      return true;
    default:
      return false;
  }
}

void CUIEditBox::Render(float elapsedSeconds) {
  if (!visible || elements.size() < 9) return;
  const ControlState state = CurrentState(false);
  for (size_t i = 0; i < 9; ++i) {
    elements[i].textureColor.Blend(state, elapsedSeconds);
    host->DrawSprite(elements[i], pieceRects[i], 0.8f);
  }

  if (hasFocus) {
    const float period = static_cast<float>(CaretBlinkMilliseconds()) / 1000.0f;
    const float elapsed = blinkRestarted ? 0.0f : elapsedSeconds;
    blinkRestarted = false;
    blinkingFor += elapsed;
    blinkSeconds += elapsed;
    if (blinkingFor >= kBlinkingSeconds || period <= 0.0f) {
      caretOn = true;
    } else {
      if (blinkSeconds >= period) {
        caretOn = !caretOn;
        blinkSeconds = 0.0f;
      }
      FrameworkRequestFrame(std::min(period - blinkSeconds, kBlinkingSeconds - blinkingFor));
    }
  }

  ControlElement& element = elements[0];
  const int firstX = CaretPixel(firstVisible);
  const int textWidth = textRect.Width();
  auto visibleX = [&](size_t position) { return std::clamp(CaretPixel(position) - firstX, 0, textWidth); };

  // Selection background, then the text, then the selected part again in its own colour.
  UIRect selectionRect{};
  if (HasSelection()) {
    const size_t first = std::max(std::min(caret, selectionStart), firstVisible);
    const size_t last = std::max(caret, selectionStart);
    selectionRect = UIRect{textRect.left + visibleX(first), textRect.top, textRect.left + visibleX(last), textRect.bottom};
    if (selectionRect.Width() > 0) host->DrawSolidRect(selectionRect, selectedBackColor, 0.7f);
  }
  const size_t firstByte = ByteOffset(firstVisible);
  visibleText.assign(text, firstByte, std::string::npos);
  host->DrawText(visibleText, element, textRect, ToColorF(textColor), false);
  if (selectionRect.Width() > 0) {
    const size_t first = std::max(std::min(caret, selectionStart), firstVisible);
    const size_t last = std::max(caret, selectionStart);
    const size_t from = ByteOffset(first);
    selectedText.assign(text, from, ByteOffset(last) - from);
    host->DrawText(selectedText, element, selectionRect, ToColorF(selectedTextColor), false);
  }

  if (hasFocus && caretOn) {
    const int caretLeft = textRect.left + visibleX(caret);
    int caretWidth = 2;
    if (!insertMode && caret < characters.size()) caretWidth = std::max(CaretPixel(caret + 1) - CaretPixel(caret), 2);
    const UIRect caretRect{caretLeft, textRect.top, std::min(caretLeft + caretWidth, textRect.right + 2), textRect.bottom};
    // In overwrite mode the caret covers the character, so it is drawn as a frame-high block
    // of the caret colour under a lighter alpha to keep the character readable.
    const ArgbColor color = insertMode ? caretColor : ((caretColor & 0x00FFFFFF) | 0x60000000);
    host->DrawSolidRect(caretRect, color, 0.6f);
  }
}
