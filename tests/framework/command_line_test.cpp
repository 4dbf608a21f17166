#include "framework/command_line.h"

#include <gtest/gtest.h>

namespace {

CommandLineOptions Parse(const std::vector<std::string>& arguments, Platform::Result expected = Platform::kOk,
                         std::string* error = nullptr) {
  CommandLineOptions options;
  std::string message;
  EXPECT_EQ(ParseCommandLineArguments(arguments, &options, &message), expected) << message;
  if (error) *error = message;
  return options;
}

TEST(CommandLine, NamesMatchWithoutCaseAndMustEndAtTheEndOrAColon) {
  EXPECT_TRUE(Parse({"/WINDOWED"}).windowed);
  EXPECT_TRUE(Parse({"-Windowed:yes"}).windowed);
  EXPECT_FALSE(Parse({"-windowedx"}).windowed);
  EXPECT_FALSE(Parse({"windowed"}).windowed);  // no '/' or '-': no option
  EXPECT_TRUE(Parse({"-FullScreen"}).fullScreen);
  const CommandLineOptions forced = Parse({"-forceref", "/forcewarp", "-forcehal", "-nostats", "-noerrormsgboxes",
                                           "-automation", "-forcepurehwvp", "-forcehwvp", "-forceswvp", "-relaunchmce"});
  EXPECT_TRUE(forced.forceReference && forced.forceWarp && forced.forceHardware && forced.noStats &&
              forced.noErrorMessageBoxes && forced.automation);
}

TEST(CommandLine, ValuesEndAtTheFirstControlOrSpaceCharacter) {
  const CommandLineOptions options = Parse({"-width:1024", "-height:768\tjunk", "-startx:-30", "-starty:+40",
                                            "-quitafterframe:10", "-adapter:0", "-output:1"});
  EXPECT_EQ(options.width, 1024);
  EXPECT_EQ(options.height, 768);
  EXPECT_TRUE(options.hasStartX && options.hasStartY);
  EXPECT_EQ(options.startX, -30);
  EXPECT_EQ(options.startY, 40);
  EXPECT_TRUE(options.hasQuitAfterFrame);
  EXPECT_EQ(options.quitAfterFrame, 10);
  EXPECT_EQ(options.adapter, 0);
  EXPECT_EQ(options.output, 1);
}

TEST(CommandLine, OptionsThatNeedAValueAreIgnoredWithoutOne) {
  const CommandLineOptions options = Parse({"-width", "-height:", "-quitafterframe", "-startx"});
  EXPECT_EQ(options.width, 0);
  EXPECT_EQ(options.height, 0);
  EXPECT_FALSE(options.hasQuitAfterFrame);
  EXPECT_FALSE(options.hasStartX);
}

TEST(CommandLine, ConstantFrameTimeDefaultsToAThirtiethOfASecond) {
  const CommandLineOptions bare = Parse({"-constantframetime"});
  EXPECT_TRUE(bare.hasConstantFrameTime);
  EXPECT_FLOAT_EQ(bare.constantFrameTime, 0.0333f);
  EXPECT_FLOAT_EQ(Parse({"-constantframetime:0.5"}).constantFrameTime, 0.5f);
}

TEST(CommandLine, ForcedApiAndVsyncKeepOnlyTheirKnownValues) {
  EXPECT_EQ(Parse({"-forcevsync:1"}).forceVsync, 1);
  EXPECT_EQ(Parse({"-forcevsync:0"}).forceVsync, 0);
  EXPECT_EQ(Parse({"-forcevsync:7"}).forceVsync, -1);
  // -forceapi changes nothing, but its value must still be a number.
  Parse({"-forceapi:10", "-forceapi:11"});
  std::string error;
  Parse({"-forceapi:ten"}, Platform::kInvalidArgument, &error);
  EXPECT_NE(error.find("-forceapi"), std::string::npos) << error;
}

TEST(CommandLine, NonsenseValuesFailNamingTheOptionAndTheValue) {
  const struct {
    const char* argument;
    const char* option;
  } cases[] = {
      {"-width:0", "-width"},         {"-height:16385", "-height"},         {"-width:12px", "-width"},
      {"-width:99999999999", "-width"}, {"-startx:100001", "-startx"},        {"-starty:-100001", "-starty"},
      {"-quitafterframe:-1", "-quitafterframe"}, {"-constantframetime:0", "-constantframetime"},
      {"-constantframetime:-1", "-constantframetime"}, {"-constantframetime:inf", "-constantframetime"},
      {"-constantframetime:nan", "-constantframetime"}, {"-constantframetime:1e99", "-constantframetime"},
      {"-forcevsync:x", "-forcevsync"},
  };
  for (const auto& c : cases) {
    std::string error;
    const CommandLineOptions options = Parse({c.argument}, Platform::kInvalidArgument, &error);
    const std::string argument = c.argument;
    const std::string value = argument.substr(argument.find(':') + 1);
    EXPECT_NE(error.find(c.option), std::string::npos) << error;
    EXPECT_NE(error.find("\"" + value + "\""), std::string::npos) << error;
    EXPECT_EQ(options.width, 0);
  }
  EXPECT_EQ(Parse({"-width:16384", "-height:1", "-startx:100000", "-quitafterframe:0"}).width, 16384);
  std::string error;
  const CommandLineOptions both = Parse({"-width:0", "-height:x", "-noerrormsgboxes"}, Platform::kInvalidArgument, &error);
  EXPECT_TRUE(both.noErrorMessageBoxes);  // wherever it stands
  EXPECT_NE(error.find("-width"), std::string::npos);
}

TEST(CommandLine, ExtraCommandLinesSplitAtSpacesOutsideQuotes) {
  EXPECT_EQ(SplitCommandLine("  -width:10 \"-title:a b\"\t-x  "),
            (std::vector<std::string>{"-width:10", "-title:a b", "-x"}));
  EXPECT_TRUE(SplitCommandLine("   ").empty());
}

}  // namespace
