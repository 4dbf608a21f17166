#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/control_host.h"
#include "framework/dialog_resource_manager.h"
#include "framework/ui_control.h"
#include "framework/ui_input.h"
#include "platform/result.h"
#include "platform/window.h"
#include "platform/window_event.h"

class CUIStatic;
class CUIButton;
class CUICheckBox;
class CUIRadioButton;
class CUIComboBox;
class CUISlider;
class CUIEditBox;
class CUIListBox;

// Called when a control changes through user input (and, when the dialog sends programmatic
// events, through the program): the event code, the control's identifier and the control.
using GuiEventCallback = void (*)(uint32_t eventCode, int controlId, CUIControl* control, void* userContext);

// A rectangle of controls drawn over the scene, with an optional caption and a four-colour
// background. All dialogs share one resource manager and one focused control.
class Dialog : public ControlHost {
public:
  explicit Dialog(UIInput& input = PlatformUIInput());
  ~Dialog() override;
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Uses the built-in control texture as texture 0 and installs the default elements; with
  // registerDialog the manager learns of the dialog (Tab moves the focus across registered ones).
  void Init(DialogResourceManager* manager, bool registerDialog = true);
  void SetCallback(GuiEventCallback callback, void* userContext = nullptr);

  Platform::Result SetFont(int index, const std::string& face, int height, int weight);
  FontNode* GetFont(int index);
  // The manager's font index behind the dialog's font slot, -1 when the slot is empty.
  int ManagerFont(int index) const;
  int ManagerTexture(int index) const;

  // The element every control of typeCode added from now on starts with, or null.
  ControlElement* GetDefaultElement(int typeCode, int elementIndex);
  Platform::Result SetDefaultElement(int typeCode, int elementIndex, const ControlElement& element);

  void SetBackgroundColors(ArgbColor topLeft, ArgbColor topRight, ArgbColor bottomLeft, ArgbColor bottomRight);
  void SetLocation(int newX, int newY) {
    x = newX;
    y = newY;
  }
  void SetSize(int newWidth, int newHeight) {
    width = newWidth;
    height = newHeight;
  }
  int X() const { return x; }
  int Y() const { return y; }
  int Width() const { return width; }
  int Height() const { return height; }

  // Up to 256 code points.
  void SetCaptionText(const std::string& text);
  const std::string& CaptionText() const { return captionText; }
  void EnableCaption(bool enable) { captionShown = enable; }
  void SetCaptionHeight(int pixels) { captionHeight = pixels; }
  int CaptionHeight() const { return captionHeight; }
  bool IsCaptionShown() const { return captionShown; }
  void SetMinimized(bool minimize) { minimized = minimize; }
  bool IsMinimized() const { return minimized; }
  void SetVisible(bool show) { visible = show; }
  bool IsVisible() const { return visible; }

  void EnableKeyboardInput(bool enable) { keyboardInput = enable; }
  bool IsKeyboardInputEnabled() const override { return keyboardInput; }
  void EnableMouseInput(bool enable) { mouseInput = enable; }
  // Whether changes made by the program (SetValue, SetChecked, a first combo item) raise events.
  void EnableNonUserEvents(bool enable) { sendProgrammaticEvents = enable; }
  bool SendsProgrammaticEvents() const { return sendProgrammaticEvents; }

  // Each Add creates the control with the default elements of its type, appends it and, when
  // created is given, hands it back. Out of memory: the control is not added.
  Platform::Result AddStatic(int id, const std::string& text, int x, int y, int width, int height,
                             bool isDefault = false, CUIStatic** created = nullptr);
  Platform::Result AddButton(int id, const std::string& text, int x, int y, int width, int height,
                             uint32_t hotkey = 0, bool isDefault = false, CUIButton** created = nullptr);
  Platform::Result AddCheckBox(int id, const std::string& text, int x, int y, int width, int height,
                               bool checked = false, uint32_t hotkey = 0, bool isDefault = false,
                               CUICheckBox** created = nullptr);
  Platform::Result AddRadioButton(int id, uint32_t group, const std::string& text, int x, int y, int width,
                                  int height, bool checked = false, uint32_t hotkey = 0, bool isDefault = false,
                                  CUIRadioButton** created = nullptr);
  Platform::Result AddComboBox(int id, int x, int y, int width, int height, uint32_t hotkey = 0,
                               bool isDefault = false, CUIComboBox** created = nullptr);
  Platform::Result AddSlider(int id, int x, int y, int width, int height, int minimum = 0, int maximum = 100,
                             int value = 50, bool isDefault = false, CUISlider** created = nullptr);
  Platform::Result AddEditBox(int id, const std::string& text, int x, int y, int width, int height,
                              bool isDefault = false, CUIEditBox** created = nullptr);
  Platform::Result AddListBox(int id, int x, int y, int width, int height, CUIListBox** created = nullptr);
  // Gives the control its default elements, initialises it and appends it.
  Platform::Result AddControl(std::unique_ptr<CUIControl> control);
  // Copies the default elements of the control's type into it.
  void ApplyDefaultElements(CUIControl& control) override;
  void RemoveAllControls();

  // The first control with the identifier (and type), or null.
  CUIControl* GetControl(int id);
  CUIControl* GetControl(int id, int typeCode);
  CUIStatic* GetStatic(int id);
  CUIButton* GetButton(int id);
  CUICheckBox* GetCheckBox(int id);
  CUIRadioButton* GetRadioButton(int id);
  CUIComboBox* GetComboBox(int id);
  CUISlider* GetSlider(int id);
  CUIEditBox* GetEditBox(int id);
  CUIListBox* GetListBox(int id);
  size_t ControlCount() const { return controls.size(); }
  CUIControl* ControlAt(size_t i) const { return controls[i].get(); }

  // True when the dialog used the event.
  bool HandleEvent(Platform::Window* window, const Platform::WindowEvent& event);
  Platform::Result Render(float elapsedSeconds);

  // The controls' side (ControlHost).
  void SendEvent(uint32_t eventCode, bool fromInput, CUIControl* control) override;
  void RequestFocus(CUIControl* control) override;
  void ClearAllFocus() override { ClearFocus(); }
  static void ClearFocus();
  static CUIControl* FocusedControl();
  void ClearRadioButtonGroup(uint32_t group) override;
  void CaptureMouse() override;
  void ReleaseMouse() override;
  UIInput& Input() override { return input; }
  DialogResourceManager* Manager() const { return manager; }

  void DrawSprite(const ControlElement& element, const UIRect& rect, float depth) override;
  void DrawSolidRect(const UIRect& rect, ArgbColor color, float depth) override;
  void DrawText(const std::string& text, const ControlElement& element, const UIRect& rect,
                bool shadow = false) override;
  void DrawText(const std::string& text, const ControlElement& element, const UIRect& rect, ColorF color,
                bool shadow) override;
  int TextWidth(const ControlElement& element, const std::string& text) override;
  int CaretX(const ControlElement& element, const std::string& text, size_t index) override;
  size_t HitTest(const ControlElement& element, const std::string& text, float atX) override;
  int FontHeight(const ControlElement& element) override;

private:
  struct DefaultElement {
    int type;
    int index;
    ControlElement element;
  };

  void InitDefaultElements();
  UIRect ToScreen(const UIRect& rect) const;
  CUIControl* ControlAtPoint(Platform::Point point);
  void OnMouseMove(Platform::Point point);
  bool OwnsFocus() const;
  void CycleFocus(bool forward);
  bool HandleKeyEvent(const Platform::WindowEvent& event);
  bool HandleMouseEvent(const Platform::WindowEvent& event);
  bool HandleCaption(const Platform::WindowEvent& event);
  // Where a new control goes and what it answers to; every Add function ends with it.
  struct ControlPlacement {
    int id;
    int left, top, width, height;
    uint32_t hotkey;
    bool isDefault;
  };
  template <class T>
  Platform::Result AddPlaced(std::unique_ptr<T> control, const ControlPlacement& place, T** created);

  bool visible = true;
  bool captionShown = false;
  bool minimized = false;
  bool captionDragged = false;
  std::string captionText;
  int captionHeight = 18;
  int x = 0, y = 0, width = 0, height = 0;
  ArgbColor backgroundColors[4] = {};
  std::vector<std::unique_ptr<CUIControl>> controls;
  std::vector<DefaultElement> defaultElements;
  std::vector<int> fonts;
  std::vector<int> textures;
  GuiEventCallback callback = nullptr;
  void* callbackContext = nullptr;
  bool keyboardInput = false;
  bool mouseInput = true;
  bool sendProgrammaticEvents = false;
  ControlElement captionElement;
  double refreshTime = 0.0;

  CUIControl* mouseOverControl = nullptr;
  DialogResourceManager* manager = nullptr;
  UIInput& input;
  Platform::Window* eventWindow = nullptr;
  std::string captionDrawText;  // reused each frame
};
