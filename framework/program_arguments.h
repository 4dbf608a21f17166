#pragma once

// The check every framework program makes of its command line before the framework reads it:
// --help (or -h) prints the usage, and an argument that is no framework option ('-' or '/')
// is refused with the usage. Returns -1 when the program should go on, else its exit status.
int CheckProgramArguments(int argc, char** argv, const char* programName, const char* usage);
