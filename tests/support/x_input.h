// Real X input for tests that drive a built program under Xvfb: xdotool steps, waits, and the
// program's printed output. The install script provides the tools; a test that finds one missing
// fails instead of skipping, so a machine without them cannot pass for a green run.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace TestSupport {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void Pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// The X server may drop a connection now and then: each xdotool step is tried a few times.
inline bool Xdotool(const std::string& arguments) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (std::system(("xdotool " + arguments + " >/dev/null 2>&1").c_str()) == 0) {
      Pause(150);
      return true;
    }
    Pause(300);
  }
  return false;
}

// Empty when every command is on the PATH, else a message naming the first one missing.
inline std::string MissingCommand(std::initializer_list<const char*> commands) {
  for (const char* command : commands) {
    if (std::system(("command -v " + std::string(command) + " >/dev/null 2>&1").c_str()) != 0)
      return std::string(command) + " is not installed: run tools/install_dependencies.sh";
  }
  return std::string();
}

}  // namespace TestSupport
