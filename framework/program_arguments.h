#pragma once

#include <string>

// The check every framework program makes of its command line before the framework reads it:
// --help (or -h) prints "usage: PROGRAM [framework options]", the program's own lines and then
// the window options every framework program takes; --version prints "PROGRAM 0.x.y"; an argument that is no framework option
// (starts with neither '-' nor '/') is refused with the same text on stderr. Returns -1 when the
// program should go on, else its exit status.
int CheckProgramArguments(int argc, char** argv, const char* programName, const char* programLines);

// The same for a program that also takes one file, named fileLabel in its usage ("MODEL"): the
// argument that is no framework option goes to *file (left alone when none is given), as does one
// starting with '/' that names an existing file (an absolute path); a second such argument is
// refused.
int CheckProgramArguments(int argc, char** argv, const char* programName, const char* programLines,
                          const char* fileLabel, std::string* file);
