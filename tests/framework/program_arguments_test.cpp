#include "framework/program_arguments.h"

#include <gtest/gtest.h>

#include <cstdio>
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

int CheckWithFile(std::vector<std::string> arguments, std::string* file) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  return CheckProgramArguments(static_cast<int>(argv.size()), argv.data(), "demo", "Draws a demo.\n", "MODEL", file);
}

TEST(ProgramArguments, AProgramTakingAFileGetsOneAmongTheOptionsAndRefusesASecond) {
  std::string file;
  EXPECT_EQ(CheckWithFile({"demo", "-width:640", "models/bunny.obj", "/windowed"}, &file), -1);
  EXPECT_EQ(file, "models/bunny.obj");
  // An absolute path is no '/' option when it names a file; one that names none stays an option.
  const std::string existing = ::testing::TempDir() + "/program_arguments_model.obj";
  std::fclose(std::fopen(existing.c_str(), "w"));
  file.clear();
  EXPECT_EQ(CheckWithFile({"demo", existing, "/forcehal"}, &file), -1);
  EXPECT_EQ(file, existing);

  testing::internal::CaptureStdout();
  EXPECT_EQ(CheckWithFile({"demo", "--help"}, &file), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout().rfind("usage: demo [framework options] [MODEL]\n\n", 0), 0u);
  testing::internal::CaptureStderr();
  EXPECT_EQ(CheckWithFile({"demo", "a.obj", "b.obj"}, &file), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("demo: unexpected argument \"b.obj\"\n", 0), 0u);
  std::remove(existing.c_str());
}

}  // namespace
