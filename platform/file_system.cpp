#include "platform/file_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/temporary_file.h"

namespace Platform {

std::optional<uint64_t> RegularFileSize(std::FILE* file) {
  struct stat status {};
  if (file == nullptr || ::fstat(::fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(status.st_size);
}

bool IsTerminal(std::FILE* file) { return file != nullptr && ::isatty(::fileno(file)) != 0; }

bool IsWritableFolder(const std::string& folder, std::string* error) {
  std::string why = "no folder given";
  if (!folder.empty()) {
    TemporaryFile probe(folder + "/.patinex-write-test");
    if (probe.Create(&why)) return true;  // and the probe goes with it
  }
  if (error != nullptr) *error = "cannot make a file in " + folder + ": " + why;
  return false;
}

bool MakeWritableFolder(const std::string& folder, std::string* error) {
  std::error_code code;
  std::filesystem::create_directories(folder, code);
  if (code) {
    *error = "cannot make the folder " + folder + ": " + code.message();
    return false;
  }
  if (!std::filesystem::is_directory(folder, code)) {
    *error = folder + " is not a folder";
    return false;
  }
  return IsWritableFolder(folder, error);
}

std::string UserDataFolder() {
  // The base directory convention: a relative XDG_DATA_HOME is invalid and ignored.
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome && dataHome[0] == '/') return dataHome;
  const char* home = std::getenv("HOME");
  if (home && home[0] != '\0') return std::string(home) + "/.local/share";
  return {};
}

}  // namespace Platform
