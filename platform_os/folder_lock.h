#pragma once

#include <cstdint>
#include <string>

namespace Platform {

// Keeps other runs out of a folder while one writes into it: an advisory lock (flock) on the file
// ".patinex.lock" in the folder, which names the process holding it. The system lets the lock go
// when its process ends, however it ends, so no stale lock outlives a crash; the file itself is
// removed when the lock is released, and by the signal handling of interrupt_catcher.h.
class FolderLock {
public:
  enum class Result { kTaken, kHeld, kFailed };

  FolderLock() = default;
  ~FolderLock() { Release(); }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // One attempt, without waiting. kHeld when another process holds the lock (its process number
  // in holder, 0 when it cannot be told); kFailed with the reason in error when the lock file
  // cannot be made or locked.
  Result TryTake(const std::string& folder, int64_t* holder, std::string* error);
  void Release();
  bool Held() const { return descriptor >= 0; }

  static constexpr const char* kFileName = ".patinex.lock";

private:
  int descriptor = -1;
  std::string path;
  int32_t removal = -1;
};

}  // namespace Platform
