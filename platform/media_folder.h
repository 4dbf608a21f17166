#pragma once

#include <string>

// Finding the files the programs ship in media/, wherever they are started from.
namespace Platform {

// The full path of the running program (from /proc/self/exe), or empty if the system will not
// say.
std::string RunningProgramPath();

// Looks for media/<name>: first in the current folder (so a copy of media/ next to where the
// user works wins), then in the folder of the running program and each folder above it, up to
// the root, as FOLDER/media/<name> and then FOLDER/share/patinex/media/<name> (where an install
// puts the media, beside PREFIX/bin). Returns the path of the first regular file found (relative for the current folder,
// absolute otherwise), or an empty string when there is none.
std::string FindMediaFile(const std::string& name);

// The same search with the current folder and the program path given, for callers that know
// them (and for tests). An empty currentFolder stands for the process's current folder; an empty
// programPath skips the search beside the program.
std::string FindMediaFile(const std::string& name, const std::string& currentFolder, const std::string& programPath);

}  // namespace Platform
