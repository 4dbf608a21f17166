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

// The X server of a running patinex goes away: the program says so and ends with status 1
// instead of hanging in its clean-up (which used to spin at full load for ever). It gets an X
// server of its own, which the test then ends; a hang is cut off after 60 s (status 137).
TEST(DisplayLoss, WindowProgramEndsWhenItsDisplayGoesAway) {
  const std::string missing = TestSupport::MissingCommand({"Xvfb", "xdotool", "timeout"});
  ASSERT_TRUE(missing.empty()) << missing;
  const fs::path folder = fs::temp_directory_path() / ("patinex_display_loss_" + std::to_string(std::random_device{}()));
  fs::create_directories(folder / "data");
  const std::string f = "\"" + folder.string() + "\"";
  const std::string script =
      "cd " + f + " || exit 2\n"
      "Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>display 2>/dev/null & server=$!\n"
      "for i in $(seq 100); do [ -s display ] && break; sleep 0.1; done\n"
      "export DISPLAY=:$(cat display)\n"
      "XDG_DATA_HOME=" + f + "/data timeout -s KILL 60 \"" PATINEX_WINDOW_PROGRAM "\" -noerrormsgboxes "
      "-width:320 -height:240 >output 2>&1 & program=$!\n"
      "timeout 60 xdotool search --sync --name '^Patinex$' >window 2>/dev/null\n"
      "sleep 1\n"
      "kill $server\n"
      "wait $program; echo $? >exit_code\n";
  {
    std::FILE* file = std::fopen((folder / "run.sh").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs(script.c_str(), file);
    std::fclose(file);
  }
  ASSERT_EQ(std::system(("bash " + f + "/run.sh").c_str()), 0);
  EXPECT_FALSE(TestSupport::ReadFile((folder / "window").string()).empty()) << "the window never opened";
  const std::string output = TestSupport::ReadFile((folder / "output").string());
  EXPECT_EQ(TestSupport::ReadFile((folder / "exit_code").string()), "1\n") << output;
  EXPECT_NE(output.find("lost the connection to the X display"), std::string::npos) << output;
  std::error_code error;
  fs::remove_all(folder, error);
}

}  // namespace

#endif
