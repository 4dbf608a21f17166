#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/cli/command_registry.h"

using namespace PatinexCli;

namespace {

void PrintOverview(FILE* out) {
  std::fprintf(out,
               "patinex-cli: inspect assets and bake weathering masks without a window.\n\n"
               "usage: patinex-cli COMMAND [ARGUMENTS]\n\ncommands:\n");
  std::vector<Command> commands = RegisteredCommands();
  std::sort(commands.begin(), commands.end(),
            [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
  for (const Command& command : commands) std::fprintf(out, "  %s\n", command.synopsis);
  std::fprintf(out,
               "\n'patinex-cli COMMAND --help' tells more of a command.\n"
               "Exit status: 0 success, 1 failure (reason on stderr), 2 usage error.\n");
}

const Command* FindCommand(const char* name) {
  for (const Command& command : RegisteredCommands()) {
    if (std::strcmp(command.name, name) == 0) return &command;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintOverview(stderr);
    return kExitUsage;
  }
  std::string first = argv[1];
  if (first == "--help" || first == "-h" || first == "help") {
    if (first == "help" && argc > 2) {
      if (const Command* command = FindCommand(argv[2])) return PrintHelp(*command);
      std::fprintf(stderr, "patinex-cli: no command '%s'\n", argv[2]);
      return kExitUsage;
    }
    PrintOverview(stdout);
    return kExitSuccess;
  }
  const Command* command = FindCommand(argv[1]);
  if (command == nullptr) {
    std::fprintf(stderr, "patinex-cli: no command '%s'\n\n", argv[1]);
    PrintOverview(stderr);
    return kExitUsage;
  }
  Arguments arguments(argv + 2, argv + argc);
  if (WantsHelp(arguments)) return PrintHelp(*command);
  return command->run(arguments);
}
