#include "framework/program_arguments.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform_os/program_version.h"

namespace {

constexpr const char kFrameworkOptions[] =
    "Framework options ('-' or '/', any case): -windowed -fullscreen -width:N -height:N\n"
    "  -startx:N -starty:N -forcehal -forceref -forcewarp -forcevsync:0|1\n"
    "  -constantframetime[:seconds] -quitafterframe:N -noerrormsgboxes -nostats -automation\n"
    "\n"
    "Exit code 0, or the framework's code of a fatal error (1 for a bad option value).\n";

void PrintUsage(std::FILE* out, const char* programName, const char* programLines, const char* fileLabel) {
  std::fprintf(out, "usage: %s [framework options]%s%s\n\n%s\n%s", programName, fileLabel ? " " : "",
               fileLabel ? (std::string("[") + fileLabel + "]").c_str() : "", programLines, kFrameworkOptions);
}

// An absolute path would read as a '/' option: one that names an existing file is taken as a file.
bool IsFileArgument(const char* argument) {
  if (argument[0] == '-') return false;
  if (argument[0] != '/') return true;
  std::error_code error;
  return std::filesystem::is_regular_file(argument, error);
}

int Refuse(const char* programName, const char* programLines, const char* fileLabel, const char* argument) {
  std::fprintf(stderr, "%s: unexpected argument \"%s\"\n\n", programName, argument);
  PrintUsage(stderr, programName, programLines, fileLabel);
  return 1;
}

}  // namespace

int CheckProgramArguments(int argc, char** argv, const char* programName, const char* programLines) {
  return CheckProgramArguments(argc, argv, programName, programLines, nullptr, nullptr);
}

int CheckProgramArguments(int argc, char** argv, const char* programName, const char* programLines,
                          const char* fileLabel, std::string* file) {
  bool fileGiven = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintUsage(stdout, programName, programLines, fileLabel);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s %s\n", programName, Platform::ProgramVersion());
      return 0;
    }
    if (file != nullptr && IsFileArgument(argv[i])) {
      if (fileGiven) return Refuse(programName, programLines, fileLabel, argv[i]);
      *file = argv[i];
      fileGiven = true;
      continue;
    }
    if (argv[i][0] != '-' && argv[i][0] != '/') return Refuse(programName, programLines, fileLabel, argv[i]);
  }
  return -1;
}
