#include "framework/dialog.h"

#include <algorithm>
#include <new>

#include "framework/control_texture_layout.h"
#include "framework/framework.h"
#include "framework/ui_button.h"
#include "framework/ui_check_box.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_edit_box.h"
#include "framework/ui_list_box.h"
#include "framework/ui_radio_button.h"
#include "framework/ui_scroll_bar.h"
#include "framework/ui_slider.h"
#include "framework/ui_static.h"
#include "framework/ui_text.h"

using namespace Platform;

namespace {

// The one focused control of all dialogs.
CUIControl* focusedControl = nullptr;

constexpr size_t kMaxCaptionCodePoints = 256;
constexpr char kMinimizedSuffix[] = " (Minimized)";
// A flat, opaque patch inside the edit box's text area, tinted for selections and the caret.
constexpr UIRect kSolidPatch{Framework::kEditBoxText.left + 1, Framework::kEditBoxText.top + 1,
                             Framework::kEditBoxText.right - 1, Framework::kEditBoxText.bottom - 1};

UIRect ToUIRect(const Framework::TextureRect& rect) { return UIRect{rect.left, rect.top, rect.right, rect.bottom}; }

struct StateColors {
  ArgbColor normal;
  ArgbColor disabled;
  ArgbColor focus;
  ArgbColor mouseOver;
  ArgbColor pressed;
};

void SetStates(BlendColor& blend, const StateColors& colors) {
  blend.Init(colors.normal, colors.disabled);
  blend.states[static_cast<int>(ControlState::Focus)] = colors.focus;
  blend.states[static_cast<int>(ControlState::MouseOver)] = colors.mouseOver;
  blend.states[static_cast<int>(ControlState::Pressed)] = colors.pressed;
}

ControlElement Element(const Framework::TextureRect& rect, const StateColors& texture, const StateColors& font,
                       uint32_t format) {
  ControlElement element;
  element.texture = 0;
  element.font = 0;
  element.textureRect = ToUIRect(rect);
  element.textFormat = format;
  SetStates(element.textureColor, texture);
  SetStates(element.fontColor, font);
  return element;
}

// Colours for the dark translucent panels: grey faces, near-white fields and marks, white text.
constexpr StateColors kFace{0xFF5A5A5A, 0xC8404040, 0xFF646464, 0xFF6A6A6A, 0xFF4A4A4A};
constexpr StateColors kFill{0x00FFFFFF, 0x00FFFFFF, 0x20FFFFFF, 0x30FFFFFF, 0x50000000};
constexpr StateColors kText{0xFFFFFFFF, 0xC8A0A0A0, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
constexpr StateColors kNoText{0, 0, 0, 0, 0};
constexpr StateColors kMark{0xFFFFFFFF, 0x80FFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFC8C8C8};
constexpr StateColors kTrack{0xFF808080, 0x80808080, 0xFF909090, 0xFF909090, 0xFF909090};
constexpr StateColors kThumb{0xFFE6E6E6, 0x80C8C8C8, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFC8C8C8};
constexpr StateColors kField{0xFFFFFFFF, 0xFFC8C8C8, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
// Opaque, so the controls under an open list do not show through it.
constexpr StateColors kList{0xFF303030, 0xFF303030, 0xFF303030, 0xFF303030, 0xFF303030};
constexpr StateColors kSelection{0xFF28325C, 0xFF28325C, 0xFF28325C, 0xFF28325C, 0xFF28325C};
constexpr StateColors kScroll{0xFFC8C8C8, 0x80C8C8C8, 0xFFC8C8C8, 0xFFE0E0E0, 0xFFFFFFFF};
constexpr StateColors kCaption{0xFF3C4A6E, 0xFF3C4A6E, 0xFF3C4A6E, 0xFF3C4A6E, 0xFF3C4A6E};

constexpr uint32_t kCentred = DT_CENTER | DT_VCENTER;
constexpr uint32_t kLeftCentred = DT_LEFT | DT_VCENTER | DT_SINGLELINE;

template <class T>
std::unique_ptr<T> MakeControl(ControlHost* host) noexcept {
  try {
    return std::make_unique<T>(host);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

Dialog::Dialog(UIInput& uiInput) : input(uiInput) {}

Dialog::~Dialog() {
  RemoveAllControls();
  // The manager must outlive the dialogs registered with it.
  if (manager) manager->UnregisterDialog(this);
}

void Dialog::Init(DialogResourceManager* resourceManager, bool registerDialog) {
  manager = resourceManager;
  if (!manager) return;
  if (registerDialog) manager->RegisterDialog(this);
  textures.assign(1, manager->AddTexture(kControlTextureResource));
  SetFont(0, "Arial", 14, 400);
  InitDefaultElements();
}

void Dialog::InitDefaultElements() {
  defaultElements.clear();
  captionElement = Element(Framework::kCaption, kCaption, kText, kLeftCentred);

  SetDefaultElement(kControlStatic, 0, Element(Framework::TextureRect{0, 0, 0, 0}, kNoText, kText, kLeftCentred));

  SetDefaultElement(kControlButton, 0, Element(Framework::kButtonFace, kFace, kText, kCentred));
  SetDefaultElement(kControlButton, 1, Element(Framework::kButtonFill, kFill, kNoText, kCentred));

  SetDefaultElement(kControlCheckBox, 0, Element(Framework::kCheckBoxBox, kMark, kText, kLeftCentred));
  SetDefaultElement(kControlCheckBox, 1, Element(Framework::kCheckBoxMark, kMark, kNoText, kLeftCentred));
  SetDefaultElement(kControlRadioButton, 0, Element(Framework::kRadioButtonBox, kMark, kText, kLeftCentred));
  SetDefaultElement(kControlRadioButton, 1, Element(Framework::kRadioButtonMark, kMark, kNoText, kLeftCentred));

  SetDefaultElement(kControlComboBox, 0, Element(Framework::kComboBoxFace, kFace, kText, kLeftCentred));
  SetDefaultElement(kControlComboBox, 1, Element(Framework::kComboBoxButton, kFace, kNoText, kCentred));
  SetDefaultElement(kControlComboBox, 2, Element(Framework::kComboBoxDropDown, kList, kText, kLeftCentred));
  SetDefaultElement(kControlComboBox, 3, Element(Framework::kComboBoxSelection, kSelection, kText, kLeftCentred));

  SetDefaultElement(kControlListBox, 0, Element(Framework::kComboBoxDropDown, kList, kText, kLeftCentred));
  SetDefaultElement(kControlListBox, 1, Element(Framework::kComboBoxSelection, kSelection, kText, kLeftCentred));

  SetDefaultElement(kControlSlider, 0, Element(Framework::kSliderTrack, kTrack, kNoText, kCentred));
  SetDefaultElement(kControlSlider, 1, Element(Framework::kSliderThumb, kThumb, kNoText, kCentred));

  const Framework::TextureRect editPieces[9] = {
      Framework::kEditBoxText,       Framework::kEditBoxBorderTopLeft,    Framework::kEditBoxBorderTop,
      Framework::kEditBoxBorderTopRight, Framework::kEditBoxBorderLeft,  Framework::kEditBoxBorderRight,
      Framework::kEditBoxBorderBottomLeft, Framework::kEditBoxBorderBottom, Framework::kEditBoxBorderBottomRight};
  for (int i = 0; i < 9; ++i) {
    SetDefaultElement(kControlEditBox, i, Element(editPieces[i], kField, i == 0 ? kText : kNoText, kLeftCentred));
  }

  SetDefaultElement(kControlScrollBar, 0, Element(Framework::kScrollBarTrack, kScroll, kNoText, kCentred));
  SetDefaultElement(kControlScrollBar, 1, Element(Framework::kScrollBarUpArrow, kScroll, kNoText, kCentred));
  SetDefaultElement(kControlScrollBar, 2, Element(Framework::kScrollBarDownArrow, kScroll, kNoText, kCentred));
  SetDefaultElement(kControlScrollBar, 3, Element(Framework::kScrollBarThumb, kScroll, kNoText, kCentred));
}

void Dialog::SetCallback(GuiEventCallback newCallback, void* userContext) {
  callback = newCallback;
  callbackContext = userContext;
}

Result Dialog::SetFont(int index, const std::string& face, int fontHeight, int weight) {
  if (!manager || index < 0) return kInvalidArgument;
  const int managerIndex = manager->AddFont(face, fontHeight, weight);
  if (managerIndex < 0) return kFail;
  if (fonts.size() <= static_cast<size_t>(index)) fonts.resize(index + 1, -1);
  fonts[index] = managerIndex;
  return kOk;
}

FontNode* Dialog::GetFont(int index) { return manager ? manager->GetFontNode(ManagerFont(index)) : nullptr; }

int Dialog::ManagerFont(int index) const {
  return index >= 0 && static_cast<size_t>(index) < fonts.size() ? fonts[index] : -1;
}

int Dialog::ManagerTexture(int index) const {
  return index >= 0 && static_cast<size_t>(index) < textures.size() ? textures[index] : -1;
}

ControlElement* Dialog::GetDefaultElement(int typeCode, int elementIndex) {
  for (DefaultElement& entry : defaultElements) {
    if (entry.type == typeCode && entry.index == elementIndex) return &entry.element;
  }
  return nullptr;
}

Result Dialog::SetDefaultElement(int typeCode, int elementIndex, const ControlElement& element) {
  if (elementIndex < 0) return kInvalidArgument;
  if (ControlElement* existing = GetDefaultElement(typeCode, elementIndex)) {
    *existing = element;
    return kOk;
  }
  try {
    defaultElements.push_back(DefaultElement{typeCode, elementIndex, element});
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  return kOk;
}

void Dialog::SetBackgroundColors(ArgbColor topLeft, ArgbColor topRight, ArgbColor bottomLeft, ArgbColor bottomRight) {
  backgroundColors[0] = topLeft;
  backgroundColors[1] = topRight;
  backgroundColors[2] = bottomLeft;
  backgroundColors[3] = bottomRight;
}

void Dialog::SetCaptionText(const std::string& text) { captionText = TruncateCodePoints(text, kMaxCaptionCodePoints); }

// Controls.

void Dialog::ApplyDefaultElements(CUIControl& control) {
  for (const DefaultElement& entry : defaultElements) {
    if (entry.type == control.GetType()) control.SetElement(static_cast<size_t>(entry.index), entry.element);
  }
}

Result Dialog::AddControl(std::unique_ptr<CUIControl> control) {
  if (!control) return kOutOfMemory;
  control->host = this;
  control->index = static_cast<int>(controls.size());
  ApplyDefaultElements(*control);
  const Result result = control->Initialize();
  if (Failed(result)) return result;
  try {
    controls.push_back(std::move(control));
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  return kOk;
}

template <class T>
Result Dialog::AddPlaced(std::unique_ptr<T> control, const ControlPlacement& place, T** created) {
  T* raw = control.get();
  const Result result = AddControl(std::move(control));
  if (Failed(result)) return result;
  raw->SetID(place.id);
  raw->SetLocation(place.left, place.top);
  raw->SetSize(place.width, place.height);
  raw->SetHotkey(place.hotkey);
  raw->isDefault = place.isDefault;
  if (created) *created = raw;
  return kOk;
}

void Dialog::RemoveAllControls() {
  if (focusedControl && focusedControl->host == this) focusedControl = nullptr;
  mouseOverControl = nullptr;
  controls.clear();
}

Result Dialog::AddStatic(int id, const std::string& text, int left, int top, int w, int h, bool isDefault,
                         CUIStatic** created) {
  auto control = MakeControl<CUIStatic>(this);
  if (control) control->SetText(text);
  return AddPlaced(std::move(control), {id, left, top, w, h, 0, isDefault}, created);
}

Result Dialog::AddButton(int id, const std::string& text, int left, int top, int w, int h, uint32_t hotkey,
                         bool isDefault, CUIButton** created) {
  auto control = MakeControl<CUIButton>(this);
  if (control) control->SetText(text);
  return AddPlaced(std::move(control), {id, left, top, w, h, hotkey, isDefault}, created);
}

Result Dialog::AddCheckBox(int id, const std::string& text, int left, int top, int w, int h, bool checked,
                           uint32_t hotkey, bool isDefault, CUICheckBox** created) {
  auto control = MakeControl<CUICheckBox>(this);
  if (control) {
    control->SetText(text);
    control->checked = checked;
  }
  return AddPlaced(std::move(control), {id, left, top, w, h, hotkey, isDefault}, created);
}

Result Dialog::AddRadioButton(int id, uint32_t group, const std::string& text, int left, int top, int w, int h,
                              bool checked, uint32_t hotkey, bool isDefault, CUIRadioButton** created) {
  auto control = MakeControl<CUIRadioButton>(this);
  if (control) {
    control->SetText(text);
    control->SetButtonGroup(group);
    control->checked = checked;
  }
  return AddPlaced(std::move(control), {id, left, top, w, h, hotkey, isDefault}, created);
}

Result Dialog::AddComboBox(int id, int left, int top, int w, int h, uint32_t hotkey, bool isDefault,
                           CUIComboBox** created) {
  return AddPlaced(MakeControl<CUIComboBox>(this), {id, left, top, w, h, hotkey, isDefault}, created);
}

Result Dialog::AddSlider(int id, int left, int top, int w, int h, int minimum, int maximum, int value,
                         bool isDefault, CUISlider** created) {
  auto control = MakeControl<CUISlider>(this);
  if (control) {
    control->minimum = minimum;
    control->maximum = std::max(minimum, maximum);
    control->value = std::clamp(value, control->minimum, control->maximum);
  }
  return AddPlaced(std::move(control), {id, left, top, w, h, 0, isDefault}, created);
}

Result Dialog::AddEditBox(int id, const std::string& text, int left, int top, int w, int h, bool isDefault,
                          CUIEditBox** created) {
  CUIEditBox* control = nullptr;
  const Result result = AddPlaced(MakeControl<CUIEditBox>(this), {id, left, top, w, h, 0, isDefault}, &control);
  if (Failed(result)) return result;
  // The text goes in once the box has its size, which places the caret and the scroll.
  control->SetText(text);
  if (created) *created = control;
  return kOk;
}

Result Dialog::AddListBox(int id, int left, int top, int w, int h, CUIListBox** created) {
  return AddPlaced(MakeControl<CUIListBox>(this), {id, left, top, w, h, 0, false}, created);
}

CUIControl* Dialog::GetControl(int id) {
  for (const auto& control : controls) {
    if (control->GetID() == id) return control.get();
  }
  return nullptr;
}

CUIControl* Dialog::GetControl(int id, int typeCode) {
  for (const auto& control : controls) {
    if (control->GetID() == id && control->GetType() == typeCode) return control.get();
  }
  return nullptr;
}

CUIStatic* Dialog::GetStatic(int id) { return static_cast<CUIStatic*>(GetControl(id, kControlStatic)); }
CUIButton* Dialog::GetButton(int id) { return static_cast<CUIButton*>(GetControl(id, kControlButton)); }
CUICheckBox* Dialog::GetCheckBox(int id) { return static_cast<CUICheckBox*>(GetControl(id, kControlCheckBox)); }
CUIRadioButton* Dialog::GetRadioButton(int id) {
  return static_cast<CUIRadioButton*>(GetControl(id, kControlRadioButton));
}
CUIComboBox* Dialog::GetComboBox(int id) { return static_cast<CUIComboBox*>(GetControl(id, kControlComboBox)); }
CUISlider* Dialog::GetSlider(int id) { return static_cast<CUISlider*>(GetControl(id, kControlSlider)); }
CUIEditBox* Dialog::GetEditBox(int id) { return static_cast<CUIEditBox*>(GetControl(id, kControlEditBox)); }
CUIListBox* Dialog::GetListBox(int id) { return static_cast<CUIListBox*>(GetControl(id, kControlListBox)); }

// Events and focus.

void Dialog::SendEvent(uint32_t eventCode, bool fromInput, CUIControl* control) {
  if (!callback || (!fromInput && !sendProgrammaticEvents)) return;
  callback(eventCode, control ? control->GetID() : 0, control, callbackContext);
}

void Dialog::RequestFocus(CUIControl* control) {
  if (!control || focusedControl == control || !control->CanHaveFocus()) return;
  if (focusedControl) focusedControl->FocusOut();
  control->FocusIn();
  focusedControl = control;
}

void Dialog::ClearFocus() {
  CUIControl* previous = focusedControl;
  focusedControl = nullptr;
  if (previous) previous->FocusOut();
}

CUIControl* Dialog::FocusedControl() { return focusedControl; }

bool Dialog::OwnsFocus() const { return focusedControl && focusedControl->host == this; }

void Dialog::ClearRadioButtonGroup(uint32_t group) {
  for (const auto& control : controls) {
    if (control->GetType() != kControlRadioButton) continue;
    auto* radio = static_cast<CUIRadioButton*>(control.get());
    if (radio->group == group) radio->checked = false;
  }
}

void Dialog::CaptureMouse() { input.SetCapture(eventWindow); }

void Dialog::ReleaseMouse() { input.ReleaseCapture(); }

void Dialog::CycleFocus(bool forward) {
  // Registered dialogs in registration order, or this one alone when it is not registered.
  std::vector<Dialog*> order;
  if (manager) {
    const std::vector<Dialog*>& registered = manager->Dialogs();
    if (std::find(registered.begin(), registered.end(), this) != registered.end()) order = registered;
  }
  if (order.empty()) order.push_back(this);

  size_t total = 0;
  long position = -1;
  for (Dialog* dialog : order) {
    for (size_t i = 0; i < dialog->controls.size(); ++i) {
      if (dialog->controls[i].get() == focusedControl) position = static_cast<long>(total + i);
    }
    total += dialog->controls.size();
  }
  if (total == 0) return;
  if (position < 0 && !forward) position = static_cast<long>(total);

  const long step = forward ? 1 : -1;
  for (size_t tried = 0; tried < total; ++tried) {
    position = (position + step + static_cast<long>(total)) % static_cast<long>(total);
    size_t remaining = static_cast<size_t>(position);
    for (Dialog* dialog : order) {
      if (remaining >= dialog->controls.size()) {
        remaining -= dialog->controls.size();
        continue;
      }
      CUIControl* candidate = dialog->controls[remaining].get();
      if (dialog->visible && !dialog->minimized && candidate->CanHaveFocus()) {
        dialog->RequestFocus(candidate);
        return;
      }
      break;
    }
  }
}

// Events.

bool Dialog::HandleEvent(Window* window, const WindowEvent& event) {
  eventWindow = window;
  if (event.type == EventType::CaptureLost) {
    // The button of a drag may now come up where no control sees it: every drag ends here.
    if (!window || event.capturedBy != window->Handle()) {
      captionDragged = false;
      for (const auto& control : controls) control->MouseCaptureLost();
    }
    return false;
  }
  if (!visible) return false;

  if (FrameworkIsAutomation() && (event.type == EventType::KeyDown || event.IsPress(MouseButton::Left))) {
    if (manager) {
      for (Dialog* dialog : manager->Dialogs()) dialog->keyboardInput = true;
    }
    keyboardInput = true;
  }

  if (HandleCaption(event)) return true;
  if (minimized) return false;

  if (OwnsFocus() && focusedControl->IsEnabled() && focusedControl->HandleEvent(event)) return true;

  if (event.type == EventType::Resized) {
    // The window changed under the mouse: forget the highlighted control.
    if (mouseOverControl) mouseOverControl->MouseLeave();
    mouseOverControl = nullptr;
    return false;
  }
  if (event.type == EventType::Activation) {
    if (OwnsFocus() && focusedControl->IsEnabled()) {
      if (event.active) focusedControl->FocusIn();
      else focusedControl->FocusOut();
    }
    return false;
  }
  if (event.IsKey()) return HandleKeyEvent(event);
  if (event.IsMouse()) return HandleMouseEvent(event);
  return false;
}

bool Dialog::HandleCaption(const WindowEvent& event) {
  if (!captionShown) return false;
  const Point point = event.position;
  const bool inBar = point.x >= x && point.x < x + width && point.y >= y && point.y < y + captionHeight;
  if (event.IsPress(MouseButton::Left) && inBar) {
    captionDragged = true;
    CaptureMouse();
    return true;
  }
  if (event.IsRelease(MouseButton::Left) && captionDragged) {
    // The drag ends wherever the button comes up, so the capture is never left behind.
    captionDragged = false;
    ReleaseMouse();
    if (inBar) {
      minimized = !minimized;
      return true;
    }
  }
  return false;
}

bool Dialog::HandleKeyEvent(const WindowEvent& event) {
  if (OwnsFocus() && focusedControl->IsEnabled() && focusedControl->HandleKeyboard(event)) return true;
  if (event.type != EventType::KeyDown) return false;

  const bool editing = focusedControl && (focusedControl->GetType() == kControlEditBox ||
                                          focusedControl->GetType() == kControlTextInput);
  if (!editing) {
    for (const auto& control : controls) {
      // A hidden or disabled control cannot be clicked, by the mouse or by its key.
      if (control->GetHotkey() == event.key && control->IsVisible() && control->IsEnabled()) {
        control->Hotkey();
        return true;
      }
    }
  }

  if (!keyboardInput) return false;
  switch (event.key) {
    case VK_TAB:
      CycleFocus(!input.IsKeyDown(VK_SHIFT));
      return true;
    case VK_RIGHT:
    case VK_DOWN:
      if (!focusedControl) return false;
      CycleFocus(true);
      return true;
    case VK_LEFT:
    case VK_UP:
      if (!focusedControl) return false;
      CycleFocus(false);
      return true;
    default:
      return false;
  }
}

CUIControl* Dialog::ControlAtPoint(Point point) {
  for (const auto& control : controls) {
    if (control->IsEnabled() && control->IsVisible() && control->ContainsPoint(point)) return control.get();
  }
  return nullptr;
}

void Dialog::OnMouseMove(Point point) {
  CUIControl* control = ControlAtPoint(point);
  if (control == mouseOverControl) return;
  if (mouseOverControl) mouseOverControl->MouseLeave();
  mouseOverControl = control;
  if (control) control->MouseEnter();
}

bool Dialog::HandleMouseEvent(const WindowEvent& event) {
  if (!mouseInput) return false;
  Point point{event.position.x - x, event.position.y - y};
  if (captionShown) point.y -= captionHeight;

  if (OwnsFocus() && focusedControl->IsEnabled() && focusedControl->HandleMouse(event, point)) return true;
  CUIControl* control = ControlAtPoint(point);
  if (control) {
    if (control->HandleMouse(event, point)) return true;
  } else if (event.IsPress(MouseButton::Left) && OwnsFocus()) {
    ClearFocus();
  }
  if (event.type == EventType::MouseMove) OnMouseMove(point);
  return false;
}

// Drawing.

UIRect Dialog::ToScreen(const UIRect& rect) const {
  const int top = y + (captionShown ? captionHeight : 0);
  return UIRect{rect.left + x, rect.top + top, rect.right + x, rect.bottom + top};
}

void Dialog::DrawSprite(const ControlElement& element, const UIRect& rect, float depth) {
  if (!manager || element.textureColor.current.a <= 0.0f) return;
  manager->DrawSprite(ManagerTexture(element.texture), element.textureRect, ToScreen(rect), depth,
                      element.textureColor.current);
}

void Dialog::DrawSolidRect(const UIRect& rect, ArgbColor color, float depth) {
  if (!manager) return;
  manager->DrawSprite(ManagerTexture(0), kSolidPatch, ToScreen(rect), depth, ToColorF(color));
}

void Dialog::DrawText(const std::string& text, const ControlElement& element, const UIRect& rect, bool shadow) {
  DrawText(text, element, rect, element.fontColor.current, shadow);
}

void Dialog::DrawText(const std::string& text, const ControlElement& element, const UIRect& rect, ColorF color,
                      bool shadow) {
  if (!manager || text.empty() || color.a <= 0.0f) return;
  manager->DrawText(ManagerFont(element.font), text, ToScreen(rect), element.textFormat, color, shadow);
}

int Dialog::TextWidth(const ControlElement& element, const std::string& text) {
  return manager ? manager->TextWidth(ManagerFont(element.font), text) : 0;
}

int Dialog::CaretX(const ControlElement& element, const std::string& text, size_t index) {
  return manager ? manager->CaretX(ManagerFont(element.font), text, index) : 0;
}

size_t Dialog::HitTest(const ControlElement& element, const std::string& text, float atX) {
  return manager ? manager->HitTest(ManagerFont(element.font), text, atX) : 0;
}

int Dialog::FontHeight(const ControlElement& element) {
  const FontNode* font = manager ? manager->GetFontNode(ManagerFont(element.font)) : nullptr;
  return font ? font->height : 0;
}

Result Dialog::Render(float elapsedSeconds) {
  if (!manager) return kFail;
  if (manager->RefreshTime() > refreshTime) {
    refreshTime = manager->RefreshTime();
    for (const auto& control : controls) control->Refresh();
    captionElement.Refresh();
  }
  if (!visible || (minimized && !captionShown)) return kOk;

  const bool anyBackground = std::any_of(std::begin(backgroundColors), std::end(backgroundColors),
                                         [](ArgbColor color) { return (color >> 24) != 0; });
  if (!minimized && anyBackground) {
    const ColorF corners[4] = {ToColorF(backgroundColors[0]), ToColorF(backgroundColors[1]),
                               ToColorF(backgroundColors[2]), ToColorF(backgroundColors[3])};
    manager->DrawUntexturedQuad(UIRect{x, y, x + width, y + height}, corners);
  }

  manager->BeginSprites(ManagerTexture(0));
  if (captionShown) {
    captionElement.textureColor.Blend(ControlState::Normal, elapsedSeconds);
    captionElement.fontColor.Blend(ControlState::Normal, elapsedSeconds);
    const UIRect bar{x, y, x + width, y + captionHeight};
    if (captionElement.textureColor.current.a > 0.0f) {
      manager->DrawSprite(ManagerTexture(captionElement.texture), captionElement.textureRect, bar, 0.99f,
                          captionElement.textureColor.current);
    }
    captionDrawText = captionText;
    if (minimized) captionDrawText += kMinimizedSuffix;
    const UIRect textRect{bar.left + 4, bar.top, bar.right - 4, bar.bottom};
    manager->DrawText(ManagerFont(captionElement.font), captionDrawText, textRect, captionElement.textFormat,
                      captionElement.fontColor.current, true);
  }
  if (!minimized) {
    for (const auto& control : controls) {
      if (control.get() != focusedControl) control->Render(elapsedSeconds);
    }
    if (OwnsFocus()) focusedControl->Render(elapsedSeconds);
  }
  manager->EndSprites();
  return kOk;
}
