#include "platform_os/temporary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "platform_os/exit_removals.h"

namespace Platform {
namespace {

// The folder part of a path ("." for a bare name) and the name in it.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// Distinct for every call in every process: a counter mixed with the process and the time.
std::string UniqueSuffix() {
  static std::atomic<uint64_t> counter{0};
  uint64_t x = counter.fetch_add(1, std::memory_order_relaxed) ^ (uint64_t(::getpid()) << 40) ^
               uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  x ^= x >> 31;
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string suffix(8, '0');
  for (char& c : suffix) {
    c = kDigits[x % 36];
    x /= 36;
  }
  return suffix;
}

// Unnamed files are given their name through /proc, which an unprivileged process needs.
bool CanNameUnnamedFiles() {
  static const bool can = ::access("/proc/self/fd", X_OK) == 0;
  return can;
}

constexpr int kNameAttempts = 100;

}  // namespace

TemporaryFile::TemporaryFile(std::string finalPath) : finalPath(std::move(finalPath)) {}

TemporaryFile::~TemporaryFile() { Remove(); }

std::string TemporaryFile::HiddenNameFor(const std::string& finalPath) {
  const auto [folder, name] = SplitPath(finalPath);
  return folder + "/." + name + ".part-" + UniqueSuffix();
}

bool TemporaryFile::Create(std::string* error) {
  Remove();
  struct stat existing;
  if (::stat(finalPath.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    if (S_ISDIR(existing.st_mode)) {
      *error = "it is a folder";
      return false;
    }
    return OpenInPlace(error);
  }
  if (CanNameUnnamedFiles()) {
    const int descriptor = ::open(SplitPath(finalPath).first.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
      file = ::fdopen(descriptor, "wb");
      if (file == nullptr) {
        *error = std::strerror(errno);
        ::close(descriptor);
        return false;
      }
      unnamed = true;
      return true;
    }
  }
  // The file system knows no unnamed files (or the folder is unusable, which the named attempt
  // tells in its own words).
  return CreateNamed(error);
}

bool TemporaryFile::OpenInPlace(std::string* error) {
  // Not blocking on the open: a FIFO without a reader answers ENXIO at once instead of hanging.
  const int descriptor = ::open(finalPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) {
    *error = errno == ENXIO ? "it is a FIFO that no process reads" : std::strerror(errno);
    return false;
  }
  const int flags = ::fcntl(descriptor, F_GETFL);
  if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) < 0 || !(file = ::fdopen(descriptor, "wb"))) {
    *error = std::strerror(errno);
    ::close(descriptor);
    return false;
  }
  inPlace = true;
  return true;
}

bool TemporaryFile::CreateNamed(std::string* error) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    path = HiddenNameFor(finalPath);
    removal = AddExitRemoval(path.c_str());
    if (removal < 0) {
      *error = path.size() >= 4096 ? "the path is too long" : "too many files are being written at once";
      path.clear();
      return false;
    }
    const int descriptor = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (descriptor < 0) {
      const int reason = errno;
      DropExitRemoval(removal);
      removal = -1;
      path.clear();
      if (reason == EEXIST) continue;
      *error = std::strerror(reason);
      return false;
    }
    file = ::fdopen(descriptor, "wb");
    if (file == nullptr) {
      *error = std::strerror(errno);
      ::close(descriptor);
      Remove();
      return false;
    }
    return true;
  }
  *error = "no free temporary name";
  return false;
}

bool TemporaryFile::NameUnnamed(std::string* error) {
  const std::string handle = "/proc/self/fd/" + std::to_string(::fileno(file));
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    path = HiddenNameFor(finalPath);
    removal = AddExitRemoval(path.c_str());
    if (removal < 0) {
      *error = "too many files are being written at once";
      path.clear();
      return false;
    }
    if (::linkat(AT_FDCWD, handle.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    const int reason = errno;
    DropExitRemoval(removal);
    removal = -1;
    path.clear();
    if (reason != EEXIST) return CopyUnnamed(error);
  }
  *error = "no free temporary name";
  return false;
}

bool TemporaryFile::CopyUnnamed(std::string* error) {
  std::FILE* source = file;
  file = nullptr;
  if (!CreateNamed(error)) {
    std::fclose(source);
    return false;
  }
  char block[1 << 16];
  off_t offset = 0;
  ssize_t got;
  while ((got = ::pread(::fileno(source), block, sizeof block, offset)) > 0 &&
         std::fwrite(block, 1, size_t(got), file) == size_t(got)) {
    offset += got;
  }
  const bool copied = got == 0 && std::fflush(file) == 0 && std::ferror(file) == 0;
  if (!copied) *error = std::string("copying the finished file failed: ") + std::strerror(errno);
  std::fclose(source);
  return copied;
}

bool TemporaryFile::Publish(std::string* error) { return Finish(error) && PutInPlace(error); }

bool TemporaryFile::Finish(std::string* error) {
  if (file == nullptr) {
    *error = "the file was never made";
    return false;
  }
  bool ok = true;
  if (std::fflush(file) != 0 || std::ferror(file) != 0) {
    *error = std::string("writing the file failed: ") + std::strerror(errno);
    ok = false;
  }
  if (ok && unnamed) ok = NameUnnamed(error);
  // A failed copy of an unnamed file may have left no file open.
  const int closed = file != nullptr ? std::fclose(file) : 0;
  file = nullptr;
  unnamed = false;
  if (ok && closed != 0) {
    *error = std::string(inPlace ? "closing the file failed: " : "closing the finished file failed: ") +
             std::strerror(errno);
    ok = false;
  }
  if (!ok) {
    Remove();
    return false;
  }
  finished = true;
  return true;
}

bool TemporaryFile::PutInPlace(std::string* error) {
  if (!finished) {
    *error = "the file was never finished";
    return false;
  }
  finished = false;
  if (inPlace) {
    inPlace = false;
    return true;
  }
  if (std::rename(path.c_str(), finalPath.c_str()) != 0) {
    *error = std::string("cannot rename the finished file onto it: ") + std::strerror(errno);
    Remove();
    return false;
  }
  DropExitRemoval(removal);
  removal = -1;
  path.clear();
  return true;
}

void TemporaryFile::Remove() {
  if (file != nullptr) std::fclose(file);
  file = nullptr;
  unnamed = false;
  inPlace = false;
  finished = false;
  if (!path.empty()) ::unlink(path.c_str());
  path.clear();
  DropExitRemoval(removal);
  removal = -1;
}

}  // namespace Platform
