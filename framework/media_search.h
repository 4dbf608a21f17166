#pragma once

#include <string>

#include "platform/result.h"

// The media-not-found result: the name was in none of the folders searched.
inline constexpr Platform::Result kFrameworkMediaNotFound = Platform::MakeResult(0x80040903);
// The destination cannot hold the path found.
inline constexpr Platform::Result kFrameworkBufferTooSmall = Platform::MakeResult(0x8007007A);

// Finds a media file by name ('/' or '\\' between folders): in the typical folders around the
// current folder and the program's folder, then under media/ in those, then in every folder from
// the current folder up to the root and from the program's folder up to the root, then under
// media/ in those. On success destination holds the path found (relative to the current folder
// when the candidate was relative). When nothing is found, destination holds the name unchanged
// and the result is kFrameworkMediaNotFound. An empty or missing name, a missing destination or
// fewer than 10 characters of room give kInvalidArgument; a path that does not fit gives
// kFrameworkBufferTooSmall and an empty destination.
Platform::Result FrameworkFindMediaFile(char* destination, int destinationChars, const char* name);

// The same search with the current folder and the program's path given (an empty programPath
// leaves out the folders around the program). path receives the result as above.
Platform::Result FindMediaFileFrom(const std::string& name, const std::string& currentFolder,
                                   const std::string& programPath, std::string* path);
