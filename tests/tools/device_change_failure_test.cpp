#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "tests/support/x_input.h"

#ifdef PATINEX_WINDOW_PROGRAM

namespace {

namespace fs = std::filesystem;

struct ChangeRun {
  std::string exitCode;  // as the shell prints it
  std::string output;
};

// Starts patinex with the creations PATINEX_FAIL_CREATION names failing, presses F3 (the switch
// to the reference rasteriser, which makes a new window and device), waits until the program has
// ended or (when it is expected to go on) said that it went back, and when it is still running
// then, closes its window with Escape. A hang or a spin is cut off after 30 s (status 137).
ChangeRun SwitchRasteriserWith(const std::string& failures, bool expectEnd) {
  const fs::path folder =
      fs::temp_directory_path() / ("patinex_device_change_" + std::to_string(std::random_device{}()));
  fs::create_directories(folder / "data");
  const std::string f = "\"" + folder.string() + "\"";
  const std::string script =
      "cd " + f + " || exit 2\n"
      "PATINEX_FAIL_CREATION=" + failures + " XDG_DATA_HOME=" + f + "/data timeout -s KILL 30 \"" PATINEX_WINDOW_PROGRAM
      "\" -noerrormsgboxes -startx:0 -starty:0 >output 2>&1 & program=$!\n"
      "window=$(timeout 20 xdotool search --sync --name '^Patinex$' 2>/dev/null | head -1)\n"
      "sleep 1\n"
      "xdotool key --window \"$window\" F3\n"
      "for i in $(seq 1 200); do\n"
      "  kill -0 $program 2>/dev/null || break\n"
      "  " + std::string(expectEnd ? "" : "grep -q 'going back to the previous settings' output && sleep 1 && break\n") +
      "  sleep 0.1\n"
      "done\n"
      "if kill -0 $program 2>/dev/null; then\n"
      "  window=$(timeout 20 xdotool search --sync --name '^Patinex$' 2>/dev/null | head -1)\n"
      "  xdotool key --window \"$window\" Escape\n"
      "fi\n"
      "wait $program; echo $? >exit_code\n";
  {
    std::FILE* file = std::fopen((folder / "run.sh").c_str(), "w");
    if (file == nullptr) return {};
    std::fputs(script.c_str(), file);
    std::fclose(file);
  }
  std::system(("bash " + f + "/run.sh").c_str());
  ChangeRun run{TestSupport::ReadFile((folder / "exit_code").string()),
                TestSupport::ReadFile((folder / "output").string())};
  std::error_code error;
  fs::remove_all(folder, error);
  return run;
}

// A device change whose new window or device cannot be made goes back to the settings before
// it; when that fails too, the program ends with the failure's exit code and message. It used
// to crash on the missing window, or spin for ever with no window left to end the main loop.
TEST(DeviceChangeFailure, RestoresThePreviousDeviceOrEndsWithTheFailuresExitCode) {
  const std::string missing = TestSupport::MissingCommand({"xdotool", "timeout"});
  ASSERT_TRUE(missing.empty()) << missing;
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";

  for (const char* failures : {"window:2", "device:2"}) {
    const ChangeRun restored = SwitchRasteriserWith(failures, false);
    EXPECT_EQ(restored.exitCode, "0\n") << failures << "\n" << restored.output;
    EXPECT_NE(restored.output.find("going back to the previous settings"), std::string::npos) << restored.output;
  }
  for (const char* failures : {"window:2,window:3", "device:2,window:3", "device:2,device:3"}) {
    const ChangeRun ended = SwitchRasteriserWith(failures, true);
    EXPECT_EQ(ended.exitCode, "6\n") << failures << "\n" << ended.output;
    EXPECT_NE(ended.output.find("Failed creating the OpenGL device."), std::string::npos) << ended.output;
  }
}

}  // namespace

#endif
