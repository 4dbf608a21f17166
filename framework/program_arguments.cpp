#include "framework/program_arguments.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char kFrameworkOptions[] =
    "Framework options ('-' or '/', any case): -windowed -fullscreen -width:N -height:N\n"
    "  -startx:N -starty:N -forcehal -forceref -forcewarp -forcevsync:0|1\n"
    "  -constantframetime[:seconds] -quitafterframe:N -noerrormsgboxes -nostats -automation\n"
    "\n"
    "Exit code 0, or the framework's code of a fatal error (1 for a bad option value).\n";

void PrintUsage(std::FILE* out, const char* programName, const char* programLines) {
  std::fprintf(out, "usage: %s [framework options]\n\n%s\n%s", programName, programLines, kFrameworkOptions);
}

}  // namespace

int CheckProgramArguments(int argc, char** argv, const char* programName, const char* programLines) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintUsage(stdout, programName, programLines);
      return 0;
    }
    if (argv[i][0] != '-' && argv[i][0] != '/') {
      std::fprintf(stderr, "%s: unexpected argument \"%s\"\n\n", programName, argv[i]);
      PrintUsage(stderr, programName, programLines);
      return 1;
    }
  }
  return -1;
}
