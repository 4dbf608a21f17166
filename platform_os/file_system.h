#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// What the programs ask of files and folders beyond what the C++ library answers.
namespace Platform {

// Reads the whole of a regular file into bytes. Anything else (a folder, a FIFO, a device such
// as /dev/zero) is refused before a byte of it is read, and so is a file above maxBytes; no more
// is read than the size the file had when it was opened. False, with what failed and why in
// error (naming the path), on any failure; bytes are then empty.
bool ReadRegularFile(const std::string& path, std::vector<uint8_t>& bytes, uint64_t maxBytes, std::string* error);

// Whether path can be opened for reading and is a regular file, told without reading it; false
// with the reason in the words ReadRegularFile uses.
bool IsReadableRegularFile(const std::string& path, std::string* error);

// Whether an open file is a terminal (where a progress line may be redrawn in place).
bool IsTerminal(std::FILE* file);

// Whether a new file can be made in folder, found out by making one and removing it again: the
// permission bits do not tell (root ignores them; a mount may be read-only). False, with the
// reason in error when given, for an empty name or a missing folder too.
bool IsWritableFolder(const std::string& folder, std::string* error = nullptr);

// Makes folder and the folders above it when missing, then checks as IsWritableFolder does.
bool MakeWritableFolder(const std::string& folder, std::string* error);

// The folder for the user's own data files of all programs: $XDG_DATA_HOME, else
// $HOME/.local/share; empty when neither is set.
std::string UserDataFolder();

}  // namespace Platform
