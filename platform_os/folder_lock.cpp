#include "platform_os/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform_os/exit_removals.h"

namespace Platform {
namespace {

int64_t HolderNamedIn(int descriptor) {
  char text[32] = {};
  const ssize_t got = ::pread(descriptor, text, sizeof text - 1, 0);
  if (got <= 0) return 0;
  return std::strtoll(text, nullptr, 10);
}

// Whether the descriptor still is the file at path: a holder that let go may have removed the
// file between our open and our lock, and a lock on a removed file keeps nobody out.
bool StillAtPath(int descriptor, const std::string& path) {
  struct stat opened {}, named {};
  return ::fstat(descriptor, &opened) == 0 && ::stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
         opened.st_ino == named.st_ino;
}

}  // namespace

FolderLock::Result FolderLock::TryTake(const std::string& folder, int64_t* holder, std::string* error) {
  Release();
  const std::string lockPath = (folder.empty() ? std::string(".") : folder) + "/" + kFileName;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const int opened = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (opened < 0) {
      *error = "cannot make the lock file " + lockPath + ": " + std::strerror(errno);
      return Result::kFailed;
    }
    if (::flock(opened, LOCK_EX | LOCK_NB) != 0) {
      const int reason = errno;
      if (reason == EWOULDBLOCK) *holder = HolderNamedIn(opened);
      ::close(opened);
      if (reason == EWOULDBLOCK) return Result::kHeld;
      *error = "cannot lock " + lockPath + ": " + std::strerror(reason);
      return Result::kFailed;
    }
    if (!StillAtPath(opened, lockPath)) {
      ::close(opened);
      continue;
    }
    const std::string self = std::to_string(::getpid()) + "\n";
    if (::ftruncate(opened, 0) != 0 || ::pwrite(opened, self.data(), self.size(), 0) != ssize_t(self.size())) {
      *error = "cannot write the lock file " + lockPath + ": " + std::strerror(errno);
      ::unlink(lockPath.c_str());
      ::close(opened);
      return Result::kFailed;
    }
    descriptor = opened;
    path = lockPath;
    removal = AddExitRemoval(path.c_str());
    return Result::kTaken;
  }
  *error = "the lock file " + lockPath + " keeps changing";
  return Result::kFailed;
}

void FolderLock::Release() {
  if (descriptor < 0) return;
  // Removed while still locked, so that nobody takes a lock on a file about to go.
  ::unlink(path.c_str());
  DropExitRemoval(removal);
  removal = -1;
  ::close(descriptor);
  descriptor = -1;
  path.clear();
}

}  // namespace Platform
