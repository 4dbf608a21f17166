#pragma once

#include <string>

#include "framework/ui_control.h"

// A single line of UTF-8 text with a caret, a selection and horizontal scrolling. Elements:
// 0 the text area, then the border pieces top-left, top, top-right, left, right, bottom-left,
// bottom, bottom-right. Positions (caret, selection) count code points.
class CUIEditBox : public CUIControl {
public:
  explicit CUIEditBox(ControlHost* host);

  void Render(float elapsedSeconds) override;
  bool HandleEvent(const Platform::WindowEvent& event) override;
  bool HandleKeyboard(const Platform::WindowEvent& event) override;
  bool HandleMouse(const Platform::WindowEvent& event, Platform::Point point) override;
  bool CanHaveFocus() override { return visible && enabled; }
  void FocusIn() override;
  // Reports kEventEditBoxLeft when input changed the text since the focus came or Enter was pressed.
  void FocusOut() override;
  void MouseCaptureLost() override { mouseDragging = false; }
  void UpdateBounds() override;
  void SetTextColor(ArgbColor color) override { textColor = color; }

  // Keeps up to 260 code points; the caret goes to the end. Reports nothing.
  void SetText(const std::string& newText, bool selectAll = false);
  const std::string& GetText() const { return text; }
  size_t GetTextLength() const { return characters.size(); }
  void ClearText() { SetText(std::string()); }

  size_t CaretPosition() const { return caret; }
  size_t SelectionStart() const { return selectionStart; }
  bool IsOverwriteMode() const { return !insertMode; }
  bool IsCaretOn() const { return caretOn; }
  void SetSelectedTextColor(ArgbColor color) { selectedTextColor = color; }
  void SetSelectedBackColor(ArgbColor color) { selectedBackColor = color; }
  void SetCaretColor(ArgbColor color) { caretColor = color; }

  static constexpr size_t kMaxTextCodePoints = 260;
  // The caret blinks for this long after the focus came or a key was used, then stays shown: a
  // window at rest draws nothing.
  static constexpr float kBlinkingSeconds = 10.0f;
  static constexpr int kBorder = 5;
  static constexpr int kSpacing = 4;

private:
  void TextChanged();
  void PlaceCaret(size_t position);
  void ResetCaretBlink();
  bool HasSelection() const { return caret != selectionStart; }
  // Removes the selection; true when it removed anything.
  bool DeleteSelection();
  void CopyToClipboard();
  // True when the text changed.
  bool PasteFromClipboard();
  // Inserts as much of insert at the caret as the length limit allows; true when any went in.
  bool InsertAtCaret(std::u32string_view insert);
  size_t PreviousWordStart(size_t position) const;
  size_t NextWordStart(size_t position) const;
  // Selects the run of non-space characters around position (a number, a word).
  void SelectWordAt(size_t position);
  // Sends kEventEditBoxChange and remembers that the text awaits being read.
  void ReportChange();
  size_t ByteOffset(size_t position) const;
  int CaretPixel(size_t position);
  size_t PositionAt(int dialogX);
  bool ShiftDown();
  bool ControlDown();

  std::u32string characters;
  std::string text;  // characters as UTF-8
  size_t caret = 0;
  size_t selectionStart = 0;
  size_t firstVisible = 0;
  bool insertMode = true;
  bool caretOn = true;
  bool mouseDragging = false;
  bool changedSinceRead = false;
  float blinkSeconds = 0.0f;
  float blinkingFor = 0.0f;
  // Set by a restart: the next frame's elapsed time passed before it and does not count.
  bool blinkRestarted = true;
  ArgbColor textColor = 0xFF101010;
  ArgbColor selectedTextColor = 0xFFFFFFFF;
  ArgbColor selectedBackColor = 0xFF28325C;
  ArgbColor caretColor = 0xFF000000;
  UIRect textArea;  // inside the border
  UIRect textRect;  // where text goes: the text area less the spacing
  UIRect pieceRects[9];
  std::string visibleText;   // reused each frame
  std::string selectedText;  // reused each frame
};
