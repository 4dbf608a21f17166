#pragma once

#include <string>

// Finding the files the programs ship, wherever they are started from.
namespace Platform {

// The full path of the running program (from /proc/self/exe), or empty if the system will not
// say.
std::string RunningProgramPath();

// Looks for the file name ('/' between folders) as name, media/name and share/patinex/media/name
// (where an install puts the media, beside PREFIX/bin), in this order:
//  1. each of the three in the typical folders: the current folder, the two above it, the
//     program's folder, the two above it, and PROGRAM/../NAME and PROGRAM/../../NAME, where NAME
//     is the program's file name without its extension;
//  2. each of the three in every folder from the current folder up to the root, then from the
//     program's folder up to the root.
// An absolute name is only checked. Returns the path of the first regular file found (relative
// to the current folder when the candidate was), or an empty string when there is none.
std::string FindMediaFile(const std::string& name);

// The same search with the current folder and the program's path given (an empty currentFolder
// stands for the process's current folder, an empty programPath leaves out the program's folders);
// relative paths found are relative to currentFolder.
std::string FindMediaFile(const std::string& name, const std::string& currentFolder, const std::string& programPath);

}  // namespace Platform
