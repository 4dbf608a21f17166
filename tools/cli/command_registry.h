#pragma once

#include <string>
#include <vector>

namespace PatinexCli {

// Exit statuses shared by every subcommand.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;  // the input could not be read or the work failed; reason on stderr
constexpr int kExitUsage = 2;    // the command line was wrong; usage on stderr

using Arguments = std::vector<std::string>;  // the subcommand's arguments, without its name

struct Command {
  const char* name;
  const char* synopsis;  // one line: "image FILE [--dump OUT.f32]"
  const char* help;      // what it does, shown by "patinex-cli help NAME" and "NAME --help"
  int (*run)(const Arguments& arguments);
};

// Each *_command.cpp registers its command with a static CommandRegistration.
class CommandRegistration {
public:
  explicit CommandRegistration(const Command& command);
};

const std::vector<Command>& RegisteredCommands();

// Prints "usage: patinex-cli SYNOPSIS" and the reason on stderr; returns kExitUsage.
int UsageError(const Command& command, const std::string& reason);

// True when the arguments ask for help ("--help" or "-h" anywhere).
bool WantsHelp(const Arguments& arguments);

// Prints the command's synopsis and help on stdout; returns kExitSuccess.
int PrintHelp(const Command& command);

}  // namespace PatinexCli
