#include "framework/program_arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int Check(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  return CheckProgramArguments(static_cast<int>(argv.size()), argv.data(), "demo", "Draws a demo.\n");
}

TEST(ProgramArguments, HelpShowsTheProgramsLinesAboveTheWindowOptionsAndStrayWordsAreRefused) {
  EXPECT_EQ(Check({"demo", "-width:640", "/windowed"}), -1);

  testing::internal::CaptureStdout();
  EXPECT_EQ(Check({"demo", "-windowed", "--help", "stray"}), 0);
  const std::string help = testing::internal::GetCapturedStdout();
  EXPECT_EQ(help.rfind("usage: demo [framework options]\n\nDraws a demo.\n\n", 0), 0u) << help;
  for (const char* option : {"-width:N", "-quitafterframe:N", "-noerrormsgboxes", "Exit code"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
  testing::internal::CaptureStdout();
  EXPECT_EQ(Check({"demo", "-h"}), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), help);

  testing::internal::CaptureStderr();
  EXPECT_EQ(Check({"demo", "model.obj"}), 1);
  const std::string refusal = testing::internal::GetCapturedStderr();
  EXPECT_EQ(refusal, "demo: unexpected argument \"model.obj\"\n\n" + help);
}

}  // namespace
