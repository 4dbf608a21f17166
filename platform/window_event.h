#pragma once

#include <cstdint>
#include <string>

#include "platform/point.h"

// What a window tells the program, as one typed record per event. The platform's event source
// makes these from its own events; nothing above it decodes system events. Key codes are the
// virtual keys of virtual_keys.h; positions are client-area points in drawable pixels.
namespace Platform {

enum class EventType : uint8_t {
  Wake,            // carries nothing: wakes a loop waiting for events
  Quit,            // the loop ends (exitCode)
  Destroy,         // the window is being destroyed
  Close,           // the user or the system asks the window to close
  Paint,           // the window's contents were lost and want drawing
  Shown,
  Hidden,
  Resized,         // sizeKind, width, height
  Activation,      // the program became active or inactive (active)
  FocusGained,     // the window got the keyboard focus
  FocusLost,
  KeyDown,         // key, repeat, alt
  KeyUp,           // key, alt
  SystemKeyDown,   // a key pressed with Alt held, or F10: a command to the window, not input
  SystemKeyUp,
  Text,            // codePoint: one character typed
  MouseMove,       // position, held
  ButtonDown,      // button, position, held
  ButtonUp,
  DoubleClick,     // the second press of a double click, in place of its ButtonDown
  Wheel,           // wheelDelta, position, held
  CaptureLost,     // capturedBy: the Handle() of the window that has the capture now, 0 for none
  FileDropped,     // path
};

enum class MouseButton : uint8_t { None, Left, Right, Middle, X1, X2 };

enum class SizeKind : uint8_t { Restored, Minimized, Maximized };

// The mouse buttons held during a mouse event, after it.
struct MouseButtons {
  bool left = false;
  bool right = false;
  bool middle = false;
  bool x1 = false;
  bool x2 = false;
};

// Mouse-wheel units of one notch; smooth-scrolling devices report fractions of it.
inline constexpr int kWheelNotch = 120;

// One record for every kind of event, so that queues hold them by value; each kind reads only
// the fields its comment in EventType names.
struct WindowEvent {
  EventType type = EventType::Wake;

  uint32_t key = 0;
  bool repeat = false;  // the key was down already: an automatic repeat
  bool alt = false;     // Alt was held (and not as AltGr)

  char32_t codePoint = 0;

  MouseButton button = MouseButton::None;
  MouseButtons held;
  Point position;
  int wheelDelta = 0;  // kWheelNotch a notch, positive away from the user

  SizeKind sizeKind = SizeKind::Restored;
  int width = 0;
  int height = 0;

  bool active = false;
  uintptr_t capturedBy = 0;
  std::string path;
  int exitCode = 0;

  bool IsKey() const {
    return type == EventType::KeyDown || type == EventType::KeyUp || type == EventType::SystemKeyDown ||
           type == EventType::SystemKeyUp;
  }
  bool IsMouse() const { return type >= EventType::MouseMove && type <= EventType::Wheel; }
  // A press of the button: its ButtonDown or the DoubleClick that stands for one.
  bool IsPress(MouseButton which) const {
    return (type == EventType::ButtonDown || type == EventType::DoubleClick) && button == which;
  }
  bool IsRelease(MouseButton which) const { return type == EventType::ButtonUp && button == which; }

  static WindowEvent Of(EventType type) {
    WindowEvent event;
    event.type = type;
    return event;
  }
  static WindowEvent Key(EventType type, uint32_t virtualKey, bool repeat = false, bool alt = false) {
    WindowEvent event = Of(type);
    event.key = virtualKey;
    event.repeat = repeat;
    event.alt = alt;
    return event;
  }
  static WindowEvent Character(char32_t codePoint) {
    WindowEvent event = Of(EventType::Text);
    event.codePoint = codePoint;
    return event;
  }
  static WindowEvent Mouse(EventType type, Point position, MouseButtons held = {},
                           MouseButton button = MouseButton::None) {
    WindowEvent event = Of(type);
    event.position = position;
    event.held = held;
    event.button = button;
    return event;
  }
  static WindowEvent WheelTurn(int delta, Point position, MouseButtons held = {}) {
    WindowEvent event = Mouse(EventType::Wheel, position, held);
    event.wheelDelta = delta;
    return event;
  }
  static WindowEvent Resize(SizeKind kind, int width, int height) {
    WindowEvent event = Of(EventType::Resized);
    event.sizeKind = kind;
    event.width = width;
    event.height = height;
    return event;
  }
  static WindowEvent Activate(bool active) {
    WindowEvent event = Of(EventType::Activation);
    event.active = active;
    return event;
  }
  static WindowEvent LostCapture(uintptr_t capturedBy) {
    WindowEvent event = Of(EventType::CaptureLost);
    event.capturedBy = capturedBy;
    return event;
  }
  static WindowEvent Dropped(std::string path) {
    WindowEvent event = Of(EventType::FileDropped);
    event.path = std::move(path);
    return event;
  }
  static WindowEvent QuitWith(int exitCode) {
    WindowEvent event = Of(EventType::Quit);
    event.exitCode = exitCode;
    return event;
  }
};

class Window;
// Where a window hands the events dispatched or sent to it.
using WindowProcedure = void (*)(Window* window, const WindowEvent& event);

}  // namespace Platform
