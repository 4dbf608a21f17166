#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "framework/dialog_resource_manager.h"
#include "framework/ui_input.h"

// A scripted window system for dialog tests: modifier keys held by the test, an in-memory
// clipboard and a count of captures.
class FakeUIInput final : public UIInput {
public:
  bool IsKeyDown(uint32_t virtualKey) override { return keysDown.count(virtualKey) != 0; }
  void SetCapture(Platform::Window*) override { ++captures; }
  void ReleaseCapture() override { ++releases; }
  bool SetClipboardText(const std::string& text) override {
    clipboard = text;
    return true;
  }
  std::string GetClipboardText() override { return clipboard; }

  std::set<uint32_t> keysDown;
  std::string clipboard;
  int captures = 0;
  int releases = 0;
};

struct GuiEvent {
  uint32_t code;
  int id;
  bool operator==(const GuiEvent& other) const { return code == other.code && id == other.id; }
};

inline void PrintTo(const GuiEvent& event, std::ostream* out) { *out << std::hex << event.code << "/" << std::dec << event.id; }

// A registered dialog at (100, 50) with no device; messages are synthesised in window pixels.
class DialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dialog::ClearFocus();
    InitDialog(dialog, 100, 50);
  }

  void InitDialog(Dialog& target, int left, int top) {
    target.Init(&manager, true);
    target.SetCallback(&DialogTest::Record, &events);
    target.SetLocation(left, top);
    target.SetSize(170, 200);
  }

  static void Record(uint32_t code, int id, CUIControl*, void* context) {
    static_cast<std::vector<GuiEvent>*>(context)->push_back({code, id});
  }

  // Mouse events at dialog-relative points (of the left button unless another is named).
  bool Mouse(Platform::EventType type, int dialogX, int dialogY,
             Platform::MouseButton button = Platform::MouseButton::Left, Dialog* target = nullptr) {
    Dialog& d = target ? *target : dialog;
    const Platform::Point at{d.X() + dialogX, d.Y() + dialogY};
    const Platform::MouseButton which = type == Platform::EventType::MouseMove ? Platform::MouseButton::None : button;
    return d.HandleEvent(nullptr, Platform::WindowEvent::Mouse(type, at, {}, which));
  }
  bool Click(int dialogX, int dialogY) {
    const bool down = Mouse(Platform::EventType::ButtonDown, dialogX, dialogY);
    const bool up = Mouse(Platform::EventType::ButtonUp, dialogX, dialogY);
    return down && up;
  }
  bool Wheel(int notches, int dialogX, int dialogY) {
    const Platform::Point at{dialog.X() + dialogX, dialog.Y() + dialogY};
    return dialog.HandleEvent(nullptr, Platform::WindowEvent::WheelTurn(notches * Platform::kWheelNotch, at));
  }
  bool Key(uint32_t virtualKey, Dialog* target = nullptr) {
    Dialog& d = target ? *target : dialog;
    const bool down = d.HandleEvent(nullptr, Platform::WindowEvent::Key(Platform::EventType::KeyDown, virtualKey));
    d.HandleEvent(nullptr, Platform::WindowEvent::Key(Platform::EventType::KeyUp, virtualKey));
    return down;
  }
  void Type(const std::u32string& text) {
    for (char32_t c : text) dialog.HandleEvent(nullptr, Platform::WindowEvent::Character(c));
  }
  // A key pressed while a modifier is held.
  bool Chord(uint32_t modifier, uint32_t virtualKey) {
    input.keysDown.insert(modifier);
    const bool used = Key(virtualKey);
    input.keysDown.erase(modifier);
    return used;
  }

  DialogResourceManager manager;
  FakeUIInput input;
  Dialog dialog{input};
  std::vector<GuiEvent> events;
};
