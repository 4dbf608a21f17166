#include <gtest/gtest.h>

#include <string>

#include "tests/tools/cli_fixture.h"

#ifdef PATINEX_WINDOW_PROGRAM

namespace {

class NoDisplay : public CliFixture {
protected:
  NoDisplay() : CliFixture("no_display") {}

  // Starts patinex in the test's folder with the environment given; a run that never ends is
  // cut off after 30 s (status 137).
  CliResult Patinex(const std::string& environment, const std::string& options) {
    return Shell("cd " + folder.string() + " && env -u DISPLAY -u WAYLAND_DISPLAY XDG_DATA_HOME=" + folder.string() +
                 " " + environment + " timeout -s KILL 30 " PATINEX_WINDOW_PROGRAM " " + options);
  }
};

// Without a display the window program used to settle for an invisible off-screen window and
// run until killed; now it says why it cannot start and where to turn, and ends with status 1.
TEST_F(NoDisplay, WindowProgramSaysSoAndEndsWithStatusOneUnlessOffScreenIsAskedFor) {
  const CliResult plain = Patinex("", "");
  EXPECT_EQ(plain.status, 1) << plain.err;
  EXPECT_NE(plain.err.find("No display could be opened"), std::string::npos) << plain.err;
  EXPECT_NE(plain.err.find("patinex-cli"), std::string::npos) << plain.err;
  EXPECT_EQ(plain.err.find("XDG_RUNTIME_DIR"), std::string::npos) << plain.err;

  // The error box of a bad option cannot be shown either: the message on stderr is all.
  const CliResult badOption = Patinex("", "-width:0");
  EXPECT_EQ(badOption.status, 1) << badOption.err;
  EXPECT_EQ(badOption.err.find("message box"), std::string::npos) << badOption.err;
  EXPECT_NE(badOption.err.find("Invalid value \"0\" for the option -width"), std::string::npos) << badOption.err;

  const CliResult offScreen = Patinex("SDL_VIDEODRIVER=offscreen", "-noerrormsgboxes -quitafterframe:2");
  EXPECT_EQ(offScreen.status, 0) << offScreen.err;
}

}  // namespace

#endif
