#pragma once

#include <mutex>

namespace ThreadingLib {

// A recursive mutual-exclusion lock: the thread that holds it may lock it again, and each Lock
// needs one Unlock.
class CriticalLock {
public:
  CriticalLock() = default;
  CriticalLock(const CriticalLock&) = delete;
  CriticalLock& operator=(const CriticalLock&) = delete;

  // Enters the lock. When another thread holds it, waits for it if wait is true and otherwise
  // returns false at once. A thread that already holds the lock always gets it again.
  bool Lock(bool wait = true) {
    if (mutex.try_lock()) return true;
    if (!wait) return false;
    mutex.lock();
    return true;
  }
  // Leaves the lock once; only the holding thread may call it.
  void Unlock() { mutex.unlock(); }

private:
  std::recursive_mutex mutex;
};

}  // namespace ThreadingLib
