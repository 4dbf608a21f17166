// Drives the built gui-demo with real X input (xdotool) and reads the events it prints.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/x_input.h"

#ifdef PATINEX_GUI_DEMO

namespace {

using TestSupport::Pause;
using TestSupport::ReadFile;
using TestSupport::Xdotool;

int Count(const std::string& text, const std::string& line) {
  int count = 0;
  for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++count;
  return count;
}

class GuiDemoTest : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string missing = TestSupport::MissingCommand({"xdotool"});
    ASSERT_TRUE(missing.empty()) << missing;
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    const std::string base = ::testing::TempDir() + "gui_demo_" + std::to_string(std::rand());
    output = base + ".out";
    pidFile = base + ".pid";
    const std::string command = std::string("\"") + PATINEX_GUI_DEMO + "\" -startx:0 -starty:0 -noerrormsgboxes >\"" +
                                output + "\" 2>&1 & echo $! >\"" + pidFile + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    bool found = false;
    for (int attempt = 0; attempt < 50 && !found; ++attempt) {
      found = std::system("xdotool search --name 'Patinex GUI demo' >/dev/null 2>&1") == 0 &&
              ReadFile(output).find("device ") != std::string::npos;
      if (!found) Pause(200);
    }
    ASSERT_TRUE(found) << "gui-demo did not open its window:\n" << ReadFile(output);
    Pause(500);
  }

  void TearDown() override {
    const std::string pid = ReadFile(pidFile);
    if (!pid.empty()) std::system(("kill " + pid + " 2>/dev/null").c_str());
    Pause(300);
  }

  bool ClickAt(int x, int y) { return Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y)) && Xdotool("click 1"); }

  std::string output;
  std::string pidFile;
};

// Screen positions of the controls: the dialog's area starts at (16, 16 + 22) under its caption.
TEST_F(GuiDemoTest, ClicksDragsTypingAndAComboPickArriveAsEvents) {
  ASSERT_TRUE(ClickAt(107, 93));                                        // "Press (P)"
  ASSERT_TRUE(Xdotool("click --repeat 2 --delay 80 1"));                // a quick click, click
  ASSERT_TRUE(ClickAt(42, 133));                                        // the check box
  ASSERT_TRUE(ClickAt(206, 165));                                       // "Green"
  ASSERT_TRUE(Xdotool("mousemove 242 230") && Xdotool("mousedown 1"));  // the slider's thumb ...
  ASSERT_TRUE(Xdotool("mousemove 290 231") && Xdotool("mousemove 320 231") && Xdotool("mouseup 1"));
  ASSERT_TRUE(ClickAt(300, 270));                                       // the edit box
  ASSERT_TRUE(Xdotool("key ctrl+a") && Xdotool("type --delay 60 hello"));
  ASSERT_TRUE(ClickAt(240, 311));                                       // open the combo box
  ASSERT_TRUE(ClickAt(200, 326 + 2 * 18 + 9));                          // "Item 3"
  Pause(500);

  const std::string events = ReadFile(output);
  EXPECT_EQ(Count(events, "event 0x0101 id 2 button\n"), 3) << events;
  EXPECT_EQ(Count(events, "event 0x0401 id 4 checkbox checked 1\n"), 1) << events;
  EXPECT_EQ(Count(events, "event 0x0301 id 6 radio checked 1\n"), 1) << events;
  const size_t slider = events.rfind("event 0x0501 id 10 slider value ");
  ASSERT_NE(slider, std::string::npos) << events;
  const int value = std::atoi(events.c_str() + slider + 32);
  EXPECT_GE(value, 76);
  EXPECT_LE(value, 84);
  EXPECT_EQ(Count(events, "event 0x0602 id 11 edit text \"hello\"\n"), 1) << events;
  EXPECT_EQ(Count(events, "event 0x0201 id 12 combo item \"Item 3\"\n"), 1) << events;
}

}  // namespace

#endif
