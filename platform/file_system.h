#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

// What the programs ask of files and folders beyond what the C++ library answers.
namespace Platform {

// The size in bytes of an open regular file; none for a file without one, such as a pipe.
std::optional<uint64_t> RegularFileSize(std::FILE* file);

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
