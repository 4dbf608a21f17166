#pragma once

#include <cstdint>

// The messages a window delivers to the framework, with the numbering, key codes and argument
// packing of the classic desktop message model, so that the framework, the camera and the GUI
// toolkit can be written against one well-known convention. The platform's event source
// translates its own events into these.
namespace Platform {

class Window;

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

struct Message {
  Window* window = nullptr;
  uint32_t message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// Window messages.
inline constexpr uint32_t WM_NULL = 0x0000;
inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_SIZE = 0x0005;          // wParam SIZE_*, lParam MakeLParam(width, height)
inline constexpr uint32_t WM_ACTIVATE = 0x0006;      // wParam WA_INACTIVE / WA_ACTIVE
inline constexpr uint32_t WM_SETFOCUS = 0x0007;
inline constexpr uint32_t WM_KILLFOCUS = 0x0008;
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_QUIT = 0x0012;          // wParam: the exit code
inline constexpr uint32_t WM_SHOWWINDOW = 0x0018;    // wParam: 1 shown, 0 hidden
inline constexpr uint32_t WM_ACTIVATEAPP = 0x001C;   // wParam: 1 activated, 0 deactivated
inline constexpr uint32_t WM_SETCURSOR = 0x0020;
inline constexpr uint32_t WM_GETMINMAXINFO = 0x0024;
inline constexpr uint32_t WM_POWERBROADCAST = 0x0218;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;       // wParam: virtual key; lParam bit 30: key was down
inline constexpr uint32_t WM_KEYUP = 0x0101;
inline constexpr uint32_t WM_CHAR = 0x0102;          // wParam: a Unicode code point
inline constexpr uint32_t WM_SYSKEYDOWN = 0x0104;    // a key pressed with Alt held, and F10
inline constexpr uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr uint32_t WM_MENUCHAR = 0x0120;
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;     // wParam: MK_* flags; lParam: client x, y
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr uint32_t WM_RBUTTONDBLCLK = 0x0206;
inline constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr uint32_t WM_MBUTTONDBLCLK = 0x0209;
inline constexpr uint32_t WM_MOUSEWHEEL = 0x020A;    // wParam high 16 bits: signed delta, 120 a notch; lParam: client x, y
inline constexpr uint32_t WM_XBUTTONDOWN = 0x020B;   // wParam high 16 bits: XBUTTON1 or XBUTTON2
inline constexpr uint32_t WM_XBUTTONUP = 0x020C;
inline constexpr uint32_t WM_XBUTTONDBLCLK = 0x020D;
inline constexpr uint32_t WM_CAPTURECHANGED = 0x0215;  // lParam: the window gaining the capture (0: none)
inline constexpr uint32_t WM_ENTERMENULOOP = 0x0211;
inline constexpr uint32_t WM_EXITMENULOOP = 0x0212;
inline constexpr uint32_t WM_ENTERSIZEMOVE = 0x0231;
inline constexpr uint32_t WM_EXITSIZEMOVE = 0x0232;
inline constexpr uint32_t WM_DROPFILES = 0x0233;     // the dropped path: Window::DroppedFile()

// WM_SIZE kinds.
inline constexpr WPARAM SIZE_RESTORED = 0;
inline constexpr WPARAM SIZE_MINIMIZED = 1;
inline constexpr WPARAM SIZE_MAXIMIZED = 2;

// WM_ACTIVATE kinds.
inline constexpr WPARAM WA_INACTIVE = 0;
inline constexpr WPARAM WA_ACTIVE = 1;

// WM_SYSCOMMAND commands.
inline constexpr WPARAM SC_SIZE = 0xF000;
inline constexpr WPARAM SC_MOVE = 0xF010;
inline constexpr WPARAM SC_MINIMIZE = 0xF020;
inline constexpr WPARAM SC_MAXIMIZE = 0xF030;
inline constexpr WPARAM SC_KEYMENU = 0xF100;
inline constexpr WPARAM SC_MONITORPOWER = 0xF170;

// WM_POWERBROADCAST events.
inline constexpr WPARAM PBT_APMRESUMESUSPEND = 0x0007;

// WM_MENUCHAR answer: close the menu without a beep.
inline constexpr LRESULT MNC_CLOSE = 1;

// Mouse-message key flags in wParam.
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr WPARAM MK_MBUTTON = 0x0010;
inline constexpr WPARAM MK_XBUTTON1 = 0x0020;
inline constexpr WPARAM MK_XBUTTON2 = 0x0040;
inline constexpr uint32_t XBUTTON1 = 0x0001;
inline constexpr uint32_t XBUTTON2 = 0x0002;

// Mouse-wheel units of one notch.
inline constexpr int WHEEL_DELTA = 120;

// Virtual-key codes.
inline constexpr uint32_t VK_LBUTTON = 0x01;
inline constexpr uint32_t VK_RBUTTON = 0x02;
inline constexpr uint32_t VK_MBUTTON = 0x04;
inline constexpr uint32_t VK_XBUTTON1 = 0x05;
inline constexpr uint32_t VK_XBUTTON2 = 0x06;
inline constexpr uint32_t VK_BACK = 0x08;
inline constexpr uint32_t VK_TAB = 0x09;
inline constexpr uint32_t VK_RETURN = 0x0D;
inline constexpr uint32_t VK_SHIFT = 0x10;
inline constexpr uint32_t VK_CONTROL = 0x11;
inline constexpr uint32_t VK_MENU = 0x12;  // Alt
inline constexpr uint32_t VK_PAUSE = 0x13;
inline constexpr uint32_t VK_CAPITAL = 0x14;
inline constexpr uint32_t VK_ESCAPE = 0x1B;
inline constexpr uint32_t VK_SPACE = 0x20;
inline constexpr uint32_t VK_PRIOR = 0x21;  // Page Up
inline constexpr uint32_t VK_NEXT = 0x22;   // Page Down
inline constexpr uint32_t VK_END = 0x23;
inline constexpr uint32_t VK_HOME = 0x24;
inline constexpr uint32_t VK_LEFT = 0x25;
inline constexpr uint32_t VK_UP = 0x26;
inline constexpr uint32_t VK_RIGHT = 0x27;
inline constexpr uint32_t VK_DOWN = 0x28;
inline constexpr uint32_t VK_SNAPSHOT = 0x2C;
inline constexpr uint32_t VK_INSERT = 0x2D;
inline constexpr uint32_t VK_DELETE = 0x2E;
// '0'..'9' are 0x30..0x39 and 'A'..'Z' are 0x41..0x5A.
inline constexpr uint32_t VK_LWIN = 0x5B;
inline constexpr uint32_t VK_RWIN = 0x5C;
inline constexpr uint32_t VK_APPS = 0x5D;
inline constexpr uint32_t VK_NUMPAD0 = 0x60;  // .. VK_NUMPAD9 = 0x69
inline constexpr uint32_t VK_MULTIPLY = 0x6A;
inline constexpr uint32_t VK_ADD = 0x6B;
inline constexpr uint32_t VK_SEPARATOR = 0x6C;
inline constexpr uint32_t VK_SUBTRACT = 0x6D;
inline constexpr uint32_t VK_DECIMAL = 0x6E;
inline constexpr uint32_t VK_DIVIDE = 0x6F;
inline constexpr uint32_t VK_F1 = 0x70;  // .. VK_F24 = 0x87
inline constexpr uint32_t VK_F2 = 0x71;
inline constexpr uint32_t VK_F3 = 0x72;
inline constexpr uint32_t VK_F4 = 0x73;
inline constexpr uint32_t VK_F10 = 0x79;
inline constexpr uint32_t VK_NUMLOCK = 0x90;
inline constexpr uint32_t VK_SCROLL = 0x91;
inline constexpr uint32_t VK_LSHIFT = 0xA0;
inline constexpr uint32_t VK_RSHIFT = 0xA1;
inline constexpr uint32_t VK_LCONTROL = 0xA2;
inline constexpr uint32_t VK_RCONTROL = 0xA3;
inline constexpr uint32_t VK_LMENU = 0xA4;
inline constexpr uint32_t VK_RMENU = 0xA5;
inline constexpr uint32_t VK_OEM_1 = 0xBA;       // ;:
inline constexpr uint32_t VK_OEM_PLUS = 0xBB;
inline constexpr uint32_t VK_OEM_COMMA = 0xBC;
inline constexpr uint32_t VK_OEM_MINUS = 0xBD;
inline constexpr uint32_t VK_OEM_PERIOD = 0xBE;
inline constexpr uint32_t VK_OEM_2 = 0xBF;       // /?
inline constexpr uint32_t VK_OEM_3 = 0xC0;       // `~
inline constexpr uint32_t VK_OEM_4 = 0xDB;       // [{
inline constexpr uint32_t VK_OEM_5 = 0xDC;       // \|
inline constexpr uint32_t VK_OEM_6 = 0xDD;       // ]}
inline constexpr uint32_t VK_OEM_7 = 0xDE;       // '"

// Argument packing.
constexpr LPARAM MakeLParam(int low, int high) {
  return static_cast<LPARAM>(static_cast<uint32_t>((static_cast<uint32_t>(low) & 0xFFFFu) |
                                                   ((static_cast<uint32_t>(high) & 0xFFFFu) << 16)));
}
constexpr WPARAM MakeWParam(int low, int high) {
  return static_cast<WPARAM>((static_cast<uint32_t>(low) & 0xFFFFu) | ((static_cast<uint32_t>(high) & 0xFFFFu) << 16));
}
constexpr uint16_t LowWord(uintptr_t value) { return static_cast<uint16_t>(value & 0xFFFFu); }
constexpr uint16_t HighWord(uintptr_t value) { return static_cast<uint16_t>((value >> 16) & 0xFFFFu); }
// The signed coordinates of a mouse message's lParam.
constexpr int SignedLowWord(uintptr_t value) { return static_cast<int16_t>(LowWord(value)); }
constexpr int SignedHighWord(uintptr_t value) { return static_cast<int16_t>(HighWord(value)); }

}  // namespace Platform
