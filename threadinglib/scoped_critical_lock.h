#pragma once

#include "threadinglib/critical_lock.h"

namespace ThreadingLib {

// Holds a CriticalLock from construction to the end of the scope. A null lock holds nothing, for
// callers whose lock is optional (a run that needs no UI lock is handed none).
class ScopedCriticalLock {
public:
  explicit ScopedCriticalLock(CriticalLock& lock) : lock(&lock) { lock.Lock(); }
  explicit ScopedCriticalLock(CriticalLock* lock) : lock(lock) {
    if (lock != nullptr) lock->Lock();
  }
  ~ScopedCriticalLock() {
    if (lock != nullptr) lock->Unlock();
  }
  ScopedCriticalLock(const ScopedCriticalLock&) = delete;
  ScopedCriticalLock& operator=(const ScopedCriticalLock&) = delete;

private:
  CriticalLock* lock;
};

}  // namespace ThreadingLib
