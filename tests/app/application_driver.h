#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/control_ids.h"
#include "framework/framework.h"
#include "framework/framework_state.h"
#include "framework/ui_button.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_edit_box.h"
#include "framework/ui_slider.h"
#include "framework/ui_static.h"
#include "platform/key_codes.h"
#include "platform/window_event.h"

// Drives the application in this process the way real input does: events go through the
// framework's window procedure (the GUI, then the camera) and frames through its frame step.
// The application starts once per test process, with its masks in a folder of its own.
namespace AppDriver {

inline bool HasDisplay() { return std::getenv("DISPLAY") != nullptr; }

// A file's bytes (none when it cannot be read).
inline std::vector<char> Bytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The application under test: one per test process, made by the environment below.
inline std::unique_ptr<PatinexApplication>& ProgramSlot() {
  static std::unique_ptr<PatinexApplication> program;
  return program;
}
inline PatinexApplication& Program() { return *ProgramSlot(); }

inline void Send(const Platform::WindowEvent& event) { FrameworkWindowProcedure(FrameworkGetWindow(), event); }

// Left-button events at a window point.
inline void Move(Platform::Point at) { Send(Platform::WindowEvent::Mouse(Platform::EventType::MouseMove, at)); }
inline void Press(Platform::Point at) {
  Send(Platform::WindowEvent::Mouse(Platform::EventType::ButtonDown, at, {}, Platform::MouseButton::Left));
}
inline void Release(Platform::Point at) {
  Send(Platform::WindowEvent::Mouse(Platform::EventType::ButtonUp, at, {}, Platform::MouseButton::Left));
}

inline void Frames(int count = 1) {
  for (int i = 0; i < count; ++i) RenderFrame();
}

// Runs frames until done() holds; false if it does not within the limit (a hang guard, not a
// timing requirement).
template <class Done>
bool FramesUntil(Done done, double limitSeconds = 120.0) {
  const auto start = std::chrono::steady_clock::now();
  while (!done()) {
    if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > limitSeconds) return false;
    RenderFrame();
  }
  return true;
}

// A drag with the left button from one dialog point to another.
inline void Drag(Dialog& panel, int fromX, int fromY, int toX, int toY) {
  Move({panel.X() + fromX, panel.Y() + fromY});
  Press({panel.X() + fromX, panel.Y() + fromY});
  Move({panel.X() + toX, panel.Y() + toY});
  Release({panel.X() + toX, panel.Y() + toY});
}

inline void Click(Dialog& panel, int x, int y) {
  const Platform::Point at{panel.X() + x, panel.Y() + y};
  Move(at);
  Press(at);
  Release(at);
}

inline void Key(uint32_t virtualKey) {
  Send(Platform::WindowEvent::Key(Platform::EventType::KeyDown, virtualKey));
  Send(Platform::WindowEvent::Key(Platform::EventType::KeyUp, virtualKey));
}

// Backspace arrives as a key and as the character it makes.
inline void Backspace() {
  Send(Platform::WindowEvent::Key(Platform::EventType::KeyDown, Platform::VK_BACK));
  Send(Platform::WindowEvent::Character('\b'));
  Send(Platform::WindowEvent::Key(Platform::EventType::KeyUp, Platform::VK_BACK));
}

inline void Type(const std::string& text) {
  for (char c : text) Send(Platform::WindowEvent::Character(static_cast<unsigned char>(c)));
}

// Clicks the middle of a control.
inline void ClickControl(Dialog& panel, int id) {
  const CUIControl* control = panel.GetControl(id);
  ASSERT_NE(control, nullptr);
  Click(panel, control->X() + control->Width() / 2, control->Y() + control->Height() / 2);
}

// Clicks an edit box of the panel, empties it from the end and types text; the box keeps the focus.
inline void ReplaceText(Dialog& panel, int id, const std::string& text) {
  CUIEditBox* box = panel.GetEditBox(id);
  ASSERT_NE(box, nullptr);
  ClickControl(panel, id);
  Key(Platform::VK_END);
  for (size_t i = box->GetTextLength(); i > 0; --i) Backspace();
  Type(text);
}

// The middle of a number box, in its panel.
inline int BoxX() { return Program().Panels().ParametersPanel().GetEditBox(ID_DENSITY)->X() + 30; }
inline int BoxY(int id) { return Program().Panels().ParametersPanel().GetEditBox(id)->Y() + 12; }

// Enter as it arrives: the key and the character it makes.
inline void Enter() {
  Send(Platform::WindowEvent::Key(Platform::EventType::KeyDown, Platform::VK_RETURN));
  Send(Platform::WindowEvent::Character('\r'));
  Send(Platform::WindowEvent::Key(Platform::EventType::KeyUp, Platform::VK_RETURN));
}

// Clicks an edit box, empties it from the end and types text (each keystroke is reported); the
// box keeps the focus, so nothing has read the text yet.
inline void TypeInto(int id, const std::string& text) {
  CUIEditBox* box = Program().Panels().ParametersPanel().GetEditBox(id);
  ASSERT_NE(box, nullptr);
  Click(Program().Panels().ParametersPanel(), BoxX(), BoxY(id));
  Key(Platform::VK_END);
  for (int i = 0; i < 12; ++i) Backspace();
  Type(text);
}

// Types text into a box and presses Enter.
inline void EnterInto(int id, const std::string& text) {
  TypeInto(id, text);
  Enter();
}

// The status line as composed, before it is wrapped to the panel's width.
inline std::string StatusShown() { return Program().Status().Text(); }

// Opens the model picker with a click and clicks the entry.
inline void Pick(int index) {
  Dialog& panel = Program().Panels().ParametersPanel();
  CUIComboBox* picker = panel.GetComboBox(ID_MODEL);
  ASSERT_NE(picker, nullptr);
  Click(panel, 90, 43);
  ASSERT_TRUE(picker->IsOpened());
  const UIRect item = picker->GetItem(index)->activeRect;
  Click(panel, (item.left + item.right) / 2, (item.top + item.bottom) / 2);
  ASSERT_FALSE(picker->IsOpened());
  Frames(2);
}

// The longest a stop may wait for a run's thread: 5 s, or PATINEX_STOP_WAIT_LIMIT seconds (the
// stress script raises it for the sanitizer builds, which run the simulation many times slower).
inline double StopWaitLimit() {
  const char* limit = std::getenv("PATINEX_STOP_WAIT_LIMIT");
  return limit != nullptr && std::atof(limit) > 0.0 ? std::atof(limit) : 5.0;
}

inline void PressWeather() { Click(Program().Panels().SimulationPanel(), 90, 48); }
// A click on the panel's background, away from every control: the focused box is left.
inline void ClickAway() { Click(Program().Panels().SimulationPanel(), 8, 20); }
inline std::string WeatherText() { return Program().Panels().SimulationPanel().GetButton(ID_WEATHER)->GetText(); }
inline std::string EditText(int id) { return Program().Panels().ParametersPanel().GetEditBox(id)->GetText(); }
inline CUISlider* Slider(int id) { return Program().Panels().SimulationPanel().GetSlider(id); }
// The look panel's slider moved to the look named, as a drag would leave it.
inline void ChooseLook(const std::string& name) {
  const int stop = Program().Looks().StopOf(name);
  ASSERT_GE(stop, 0) << "no look " << name;
  Program().Panels().LookPanel().GetSlider(ID_LOOK)->SetValue(stop);
  Program().OnGuiEvent(kEventSliderValueChanged, ID_LOOK);
}

// The back-buffer pixel at (x, y) from top-left, drawn by the application's frame render.
inline std::vector<float> DrawnPixel(int x, int y) {
  Platform::GraphicsDevice* device = FrameworkGetDevice();
  Program().OnFrameRender(device, 0.0f);
  std::vector<float> rgba(4);
  device->ReadPixels(x, y, 1, 1, rgba.data());
  return rgba;
}

// Starts the application once per process, masks in a fresh folder.
class Environment : public ::testing::Environment {
public:
  void SetUp() override {
    if (!HasDisplay()) return;
    // What the program remembers between starts goes to a folder of the test's, never the user's.
    stateFolder = std::filesystem::temp_directory_path() / ("patinex_app_state_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    setenv("XDG_STATE_HOME", stateFolder.c_str(), 1);
    // The user's own looks too: a test writes its own there.
    setenv("XDG_CONFIG_HOME", (stateFolder / "config").c_str(), 1);
    ProgramSlot() = std::make_unique<PatinexApplication>();
    started = Program().Start(false, "-noerrormsgboxes -forcevsync:0");
    maskFolder = std::filesystem::temp_directory_path() / ("patinex_app_test_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(maskFolder);
    Program().Folders().masks = maskFolder.string();
    Frames(2);
    // The edit boxes as the program starts, before any test types into them: whole-binary runs
    // share one application, so a later test cannot read them from the panel.
    if (started) {
      startTexts = {EditText(ID_DENSITY), EditText(ID_STEPS), EditText(ID_TONS_PER_STEP)};
      startStatus = StatusShown();
    }
  }
  void TearDown() override {
    if (!HasDisplay()) return;
    Program().Shutdown();
    std::error_code error;
    std::filesystem::remove_all(maskFolder, error);
    std::filesystem::remove_all(stateFolder, error);
  }
  static inline bool started = false;
  static inline std::filesystem::path maskFolder;
  static inline std::filesystem::path stateFolder;
  static inline std::vector<std::string> startTexts;  // Density, Steps, Tons/Step
  static inline std::string startStatus;
};

// Forgets every model's sessions, so that a model picked next starts without one as on a first
// start. Called with no model loaded, when no session is open.
inline void ClearSessions() {
  std::error_code error;
  std::filesystem::remove_all(Environment::maskFolder / "sessions", error);
}

// The folder of the session shown (empty: none).
inline std::filesystem::path SessionFolder() { return Program().Folders().session; }

}  // namespace AppDriver
