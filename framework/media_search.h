#pragma once

#include "platform/result.h"

// The media-not-found result: the name was in none of the folders searched.
inline constexpr Platform::Result kFrameworkMediaNotFound = Platform::MakeResult(0x80040903);
// The destination cannot hold the path found.
inline constexpr Platform::Result kFrameworkBufferTooSmall = Platform::MakeResult(0x8007007A);

// Finds a media file by name ('/' or '\\' between folders) with the media search of
// Platform::FindMediaFile and copies the path found into destination, which holds
// destinationChars characters with the terminator. When nothing is found, destination holds the
// name (cut to fit) and the result is kFrameworkMediaNotFound. An empty or missing name, a missing
// destination or fewer than 10 characters of room give kInvalidArgument; a path found that does
// not fit gives kFrameworkBufferTooSmall and an empty destination.
Platform::Result FrameworkFindMediaFile(char* destination, int destinationChars, const char* name);
