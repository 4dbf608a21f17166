#pragma once

#include <string>
#include <vector>

// What the running process was started with, wherever in the program it is asked for.
namespace Platform {

// The arguments of the running program, the program's own name first (from /proc/self/cmdline);
// empty if the system will not say.
std::vector<std::string> ProcessArguments();

// The folder for the user's own data files of all programs: $XDG_DATA_HOME, else
// $HOME/.local/share; empty when neither is set.
std::string UserDataFolder();

}  // namespace Platform
