#include "threadinglib/critical_lock.h"
#include "threadinglib/scoped_critical_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace ThreadingLib {
namespace {

bool TryFromAnotherThread(CriticalLock& lock) {
  bool got = false;
  std::thread([&] {
    got = lock.Lock(false);
    if (got) lock.Unlock();
  }).join();
  return got;
}

TEST(CriticalLock, RecursiveForItsHolderRefusedOrAwaitedByOthers) {
  CriticalLock lock;
  ASSERT_TRUE(lock.Lock(true));
  EXPECT_TRUE(lock.Lock(false)) << "the holder may enter again";
  EXPECT_FALSE(TryFromAnotherThread(lock));
  lock.Unlock();
  EXPECT_FALSE(TryFromAnotherThread(lock)) << "still held once";

  std::atomic<bool> entered{false};
  std::thread waiter([&] {
    lock.Lock(true);
    entered = true;
    lock.Unlock();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(entered.load());
  lock.Unlock();
  waiter.join();
  EXPECT_TRUE(entered.load());
  EXPECT_TRUE(TryFromAnotherThread(lock));
}

// The holder keeps the lock for its scope only; a null lock is held by nobody.
TEST(ScopedCriticalLock, HoldsForItsScopeAndANullLockHoldsNothing) {
  CriticalLock lock;
  {
    const ScopedCriticalLock hold(lock);
    EXPECT_FALSE(TryFromAnotherThread(lock));
    {
      const ScopedCriticalLock again(&lock);
      EXPECT_FALSE(TryFromAnotherThread(lock));
    }
    EXPECT_FALSE(TryFromAnotherThread(lock)) << "the outer holder still holds it";
  }
  EXPECT_TRUE(TryFromAnotherThread(lock));
  { const ScopedCriticalLock nothing(static_cast<CriticalLock*>(nullptr)); }
  EXPECT_TRUE(TryFromAnotherThread(lock));
}

}  // namespace
}  // namespace ThreadingLib
