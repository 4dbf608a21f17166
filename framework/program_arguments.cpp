#include "framework/program_arguments.h"

#include <cstdio>
#include <cstring>

int CheckProgramArguments(int argc, char** argv, const char* programName, const char* usage) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(usage, stdout);
      return 0;
    }
    if (argv[i][0] != '-' && argv[i][0] != '/') {
      std::fprintf(stderr, "%s: unexpected argument \"%s\"\n\n%s", programName, argv[i], usage);
      return 1;
    }
  }
  return -1;
}
