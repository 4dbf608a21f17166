#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "platform_os/interrupt_catcher.h"
#include "platform_os/program_version.h"
#include "tools/cli/command_registry.h"
#include "tools/cli/json_output.h"

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
               "\n'patinex-cli COMMAND --help' tells more of a command; 'patinex-cli --version' the release.\n"
               "Exit status: 0 success, 1 failure (reason on stderr, and as \"error\" in the JSON on stdout),\n"
               "2 usage error.\n");
}

// Output that could not be written (a full disk, /dev/full, a closed pipe) is a failure, however
// well the work went.
int WithOutputWritten(const char* who, int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fprintf(stderr, "%s: cannot write the output: %s\n", who, std::strerror(errno));
    if (status == kExitSuccess) status = kExitFailure;
  }
  return status;
}

const Command* FindCommand(const char* name) {
  for (const Command& command : RegisteredCommands()) {
    if (std::strcmp(command.name, name) == 0) return &command;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  // Before any work: a signal that ends the program takes its unfinished files with it.
  Platform::RemoveUnfinishedFilesOnSignals();
  if (argc < 2) {
    PrintOverview(stderr);
    return kExitUsage;
  }
  std::string first = argv[1];
  if (first == "--version") {
    std::printf("patinex-cli %s\n", Platform::ProgramVersion());
    return WithOutputWritten("patinex-cli", kExitSuccess);
  }
  if (first == "--help" || first == "-h" || first == "help") {
    if (first == "help" && argc > 2) {
      if (const Command* command = FindCommand(argv[2])) return WithOutputWritten("patinex-cli", PrintHelp(*command));
      std::fprintf(stderr, "patinex-cli: no command '%s'\n", argv[2]);
      return kExitUsage;
    }
    PrintOverview(stdout);
    return WithOutputWritten("patinex-cli", kExitSuccess);
  }
  const Command* command = FindCommand(argv[1]);
  if (command == nullptr) {
    std::fprintf(stderr, "patinex-cli: no command '%s'\n\n", argv[1]);
    PrintOverview(stderr);
    return kExitUsage;
  }
  Arguments arguments(argv + 2, argv + argc);
  int status = kExitSuccess;
  try {
    status = WantsHelp(arguments) ? PrintHelp(*command) : command->run(arguments);
  } catch (const std::bad_alloc&) {
    status = CommandFailure(command->name, "out of memory");
  }
  return WithOutputWritten(("patinex-cli " + std::string(command->name)).c_str(), status);
}
