#pragma once

#include <string>
#include <vector>

#include "platform/result.h"

// The framework's command-line options. An option starts with '/' or '-', its name is matched
// without regard to case and ends the argument or is followed by ':' and a value.
// -forceapi:N, -forcepurehwvp, -forcehwvp, -forceswvp and -relaunchmce are accepted and change
// nothing (there is one graphics path, no vertex-processing choice and no media centre), so that
// scripts written for the framework's full set of options still run.
struct CommandLineOptions {
  int adapter = -1;
  bool windowed = false;
  int output = -1;
  bool fullScreen = false;
  bool forceHardware = false;
  bool forceReference = false;
  bool forceWarp = false;
  int forceVsync = -1;  // 0 or 1; -1 when not given
  int width = 0;        // 0 when not given
  int height = 0;
  bool hasStartX = false;
  int startX = 0;
  bool hasStartY = false;
  int startY = 0;
  bool hasConstantFrameTime = false;
  float constantFrameTime = 0.0f;
  bool hasQuitAfterFrame = false;
  int quitAfterFrame = 0;
  bool noErrorMessageBoxes = false;
  bool noStats = false;
  bool automation = false;
};

inline constexpr float kDefaultConstantFrameTime = 0.0333f;
inline constexpr int kLargestBackBufferSide = 16384;
inline constexpr int kFarthestWindowPosition = 100000;

// Applies the options among arguments to options. Arguments that are no option, and options that
// need a value and have none, are ignored. A value that is no number or out of range leaves its
// option unset and fails with kInvalidArgument, error naming the first such option and value; the
// other options are still read.
Platform::Result ParseCommandLineArguments(const std::vector<std::string>& arguments, CommandLineOptions* options,
                                           std::string* error);

// Splits a command line into words at white space; double quotes group words with spaces.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);
