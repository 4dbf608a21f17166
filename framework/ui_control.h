#pragma once

#include <cstdint>
#include <vector>

#include "framework/dialog_resource_manager.h"
#include "platform/result.h"
#include "platform/text_layout.h"
#include "platform/key_codes.h"
#include "platform/point.h"
#include "platform/window_event.h"

class ControlHost;

// Control type codes: the key of Dialog::GetControl and of the default elements.
inline constexpr int kControlButton = 0;
inline constexpr int kControlStatic = 1;
inline constexpr int kControlCheckBox = 2;
inline constexpr int kControlRadioButton = 3;
inline constexpr int kControlComboBox = 4;
inline constexpr int kControlSlider = 5;
inline constexpr int kControlEditBox = 6;
// A text-input kind this system does not build; the focus rules treat it as an edit box.
inline constexpr int kControlTextInput = 7;
inline constexpr int kControlListBox = 8;
inline constexpr int kControlScrollBar = 9;

// Event codes handed to a dialog's GUI event callback.
inline constexpr uint32_t kEventButtonClicked = 0x0101;
inline constexpr uint32_t kEventComboBoxSelectionChanged = 0x0201;
inline constexpr uint32_t kEventRadioButtonChanged = 0x0301;
inline constexpr uint32_t kEventCheckBoxChanged = 0x0401;
inline constexpr uint32_t kEventSliderValueChanged = 0x0501;
inline constexpr uint32_t kEventEditBoxEnter = 0x0601;
inline constexpr uint32_t kEventEditBoxChange = 0x0602;
// The focus left an edit box whose text was changed by input since it got the focus (or since the
// last Enter): the moment to read what was typed.
inline constexpr uint32_t kEventEditBoxLeft = 0x0603;
inline constexpr uint32_t kEventListBoxSelectionChanged = 0x0701;
// A line was double-clicked, or Enter was pressed on it.
inline constexpr uint32_t kEventListBoxItemActivated = 0x0702;

enum class ControlState { Normal = 0, Disabled = 1, Hidden = 2, Focus = 3, MouseOver = 4, Pressed = 5 };
inline constexpr int kControlStateCount = 6;

// Colour fade rates per 1/30 s: the share of the way to the target still left after it.
inline constexpr float kDefaultBlendRate = 0.7f;
inline constexpr float kButtonBlendRate = 0.8f;

// One colour per control state and the colour shown now, which fades towards the state's.
struct BlendColor {
  ArgbColor states[kControlStateCount] = {};
  ColorF current;

  // Every state takes defaultColor except disabled and hidden; the current colour starts hidden.
  void Init(ArgbColor defaultColor, ArgbColor disabledColor = 0xC8808080, ArgbColor hiddenColor = 0);
  // current += (target - current) x (1 - rate^(30 x elapsedSeconds)); the pressed state jumps,
  // and a colour within half an 8-bit step of its target takes it. Until it gets there, each
  // blend asks the framework for another frame.
  void Blend(ControlState state, float elapsedSeconds, float rate = kDefaultBlendRate);
  void Refresh() { current = ToColorF(states[static_cast<int>(ControlState::Hidden)]); }
};

// How one layer of a control is drawn: a part of a texture and a font, each with its colours.
// Texture and font indices are into the owning dialog's lists.
struct ControlElement {
  int texture = 0;
  int font = 0;
  uint32_t textFormat = Platform::DT_CENTER | Platform::DT_VCENTER;
  UIRect textureRect;
  BlendColor textureColor;
  BlendColor fontColor;

  void SetTexture(int textureIndex, const UIRect& rect, ArgbColor defaultColor = 0x00FFFFFF);
  void SetFont(int fontIndex, ArgbColor defaultColor = 0xFF000000,
               uint32_t format = Platform::DT_CENTER | Platform::DT_VCENTER);
  void Refresh();
};

// What a mouse event means to a control: controls answer the left button, the motion and the
// wheel, and nothing else.
enum class MouseAction { None, Move, LeftDown, LeftDoubleClick, LeftUp, Wheel };
MouseAction MouseActionOf(const Platform::WindowEvent& event);

// The base of every control. Positions are pixels relative to the dialog's control area.
class CUIControl {
public:
  explicit CUIControl(ControlHost* host, int type);
  virtual ~CUIControl();
  CUIControl(const CUIControl&) = delete;
  CUIControl& operator=(const CUIControl&) = delete;

  virtual Platform::Result Initialize() { return Platform::kOk; }
  // Clears mouse-over and focus and restarts every element's colour fade.
  virtual void Refresh();
  virtual void Render(float /*elapsedSeconds*/) {}
  // Every event the dialog is given, while the control has the focus.
  virtual bool HandleEvent(const Platform::WindowEvent& /*event*/) { return false; }
  virtual bool HandleKeyboard(const Platform::WindowEvent& /*event*/) { return false; }
  // point: the event's position in the dialog's control area.
  virtual bool HandleMouse(const Platform::WindowEvent& /*event*/, Platform::Point /*point*/) { return false; }
  virtual bool CanHaveFocus() { return false; }
  virtual void FocusIn() { hasFocus = true; }
  virtual void FocusOut() { hasFocus = false; }
  virtual void MouseEnter() { mouseOver = true; }
  virtual void MouseLeave() { mouseOver = false; }
  virtual void Hotkey() {}
  // The mouse capture went elsewhere (the window lost the focus, say): a drag in progress ends
  // where it is, reporting nothing, as its button comes up where the control never sees it.
  virtual void MouseCaptureLost() {}
  virtual bool ContainsPoint(Platform::Point point);
  virtual void SetEnabled(bool enable) { enabled = enable; }
  virtual bool IsEnabled() { return enabled; }
  virtual void SetVisible(bool visible) { this->visible = visible; }
  virtual bool IsVisible() { return visible; }
  // The normal-state font colour of element 0.
  virtual void SetTextColor(ArgbColor color);
  virtual void UpdateBounds();

  int GetID() const { return id; }
  void SetID(int identifier) { id = identifier; }
  int GetType() const { return type; }
  ControlHost* GetHost() const { return host; }
  int GetIndex() const { return index; }
  bool HasFocus() const { return hasFocus; }
  bool IsMouseOver() const { return mouseOver; }
  bool IsDefault() const { return isDefault; }
  uint32_t GetHotkey() const { return hotkey; }
  void SetHotkey(uint32_t virtualKey) { hotkey = virtualKey; }
  void* GetUserData() const { return userData; }
  void SetUserData(void* data) { userData = data; }
  void SetLocation(int newX, int newY);
  void SetSize(int newWidth, int newHeight);
  int X() const { return x; }
  int Y() const { return y; }
  int Width() const { return width; }
  int Height() const { return height; }
  const UIRect& BoundingBox() const { return boundingBox; }

  // Copies element into slot index, growing the list as needed.
  Platform::Result SetElement(size_t elementIndex, const ControlElement& element);
  ControlElement* GetElement(size_t elementIndex);
  size_t ElementCount() const { return elements.size(); }

protected:
  // The state the control shows now: hidden, disabled, pressed, mouse over, focus or normal.
  ControlState CurrentState(bool pressed) const;
  static bool Inside(const UIRect& rect, Platform::Point point) {
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
  }

  bool visible = true;
  bool mouseOver = false;
  bool hasFocus = false;
  bool isDefault = false;
  int x = 0, y = 0, width = 0, height = 0;
  ControlHost* host = nullptr;
  int index = 0;
  std::vector<ControlElement> elements;
  int id = 0;
  int type = 0;
  uint32_t hotkey = 0;
  void* userData = nullptr;
  bool enabled = true;
  UIRect boundingBox;

  friend class Dialog;
};
