#pragma once

#include <string>
#include <vector>

// What the running process was started with, wherever in the program it is asked for.
namespace Platform {

// The arguments of the running program, the program's own name first (from /proc/self/cmdline);
// empty if the system will not say.
std::vector<std::string> ProcessArguments();

}  // namespace Platform
