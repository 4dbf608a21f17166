#include "platform_os/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "platform_os/temporary_file.h"

namespace Platform {

namespace {

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "of an unknown kind";
}

struct Descriptor {
  int value;
  ~Descriptor() {
    if (value >= 0) ::close(value);
  }
};

}  // namespace

namespace {

// Opens path for reading and checks that it is a regular file; -1 with the reason otherwise.
int OpenRegularFile(const std::string& path, uint64_t& size, std::string& error) {
  // Non-blocking, so that opening a FIFO with no writer does not wait for one.
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return -1;
  }
  struct stat status {};
  if (::fstat(descriptor, &status) != 0) {
    error = "cannot read " + path + ": " + std::strerror(errno);
  } else if (!S_ISREG(status.st_mode)) {
    error = path + " is not a regular file (it is " + KindOf(status.st_mode) + ")";
  } else {
    size = static_cast<uint64_t>(status.st_size);
    return descriptor;
  }
  ::close(descriptor);
  return -1;
}

}  // namespace

bool ReadRegularFile(const std::string& path, std::vector<uint8_t>& bytes, uint64_t maxBytes, std::string* error) {
  bytes.clear();
  std::string why;
  auto fail = [&](const std::string& reason) {
    bytes = {};
    if (error != nullptr) *error = reason;
    return false;
  };
  uint64_t size = 0;
  const Descriptor file{OpenRegularFile(path, size, why)};
  if (file.value < 0) return fail(why);
  if (size > maxBytes) {
    return fail(path + " is too large: " + std::to_string(size) + " bytes, at most " + std::to_string(maxBytes) +
                " are read");
  }
  try {
    bytes.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return fail("no memory for the " + std::to_string(size) + " bytes of " + path);
  }
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t read = ::read(file.value, bytes.data() + got, bytes.size() - got);
    if (read < 0 && errno == EINTR) continue;
    if (read < 0) return fail("cannot read " + path + ": " + std::strerror(errno));
    if (read == 0) break;  // shortened meanwhile
    got += static_cast<size_t>(read);
  }
  bytes.resize(got);
  return true;
}

bool IsReadableRegularFile(const std::string& path, std::string* error) {
  uint64_t size = 0;
  std::string why;
  const Descriptor file{OpenRegularFile(path, size, why)};
  if (file.value >= 0) return true;
  if (error != nullptr) *error = why;
  return false;
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
  if (std::filesystem::is_symlink(folder, code) && !std::filesystem::exists(folder, code)) {
    *error = folder + " is a symbolic link to " + std::filesystem::read_symlink(folder, code).string() +
             ", which does not exist";
    return false;
  }
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
