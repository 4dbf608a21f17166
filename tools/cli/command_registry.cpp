#include "tools/cli/command_registry.h"

#include <cstdio>

namespace PatinexCli {
namespace {

std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}

}  // namespace

CommandRegistration::CommandRegistration(const Command& command) { Registry().push_back(command); }

const std::vector<Command>& RegisteredCommands() { return Registry(); }

int UsageError(const Command& command, const std::string& reason) {
  std::fprintf(stderr, "patinex-cli %s: %s\nusage: patinex-cli %s\n", command.name, reason.c_str(),
               command.synopsis);
  return kExitUsage;
}

bool WantsHelp(const Arguments& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h") return true;
  }
  return false;
}

int PrintHelp(const Command& command) {
  std::printf("usage: patinex-cli %s\n\n%s\n", command.synopsis, command.help);
  return kExitSuccess;
}

}  // namespace PatinexCli
