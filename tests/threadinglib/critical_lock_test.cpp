#include "threadinglib/critical_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace ThreadingLib {
namespace {

bool TryFromAnotherThread(CriticalLock& lock) {
  bool got = false;
  std::thread other([&] {
    got = lock.Lock(false);
    if (got) lock.Unlock();
  });
  other.join();
  return got;
}

TEST(CriticalLock, RecursiveForItsHolderAndRefusedToOthersWithoutWaiting) {
  CriticalLock lock;
  ASSERT_TRUE(lock.Lock(true));
  EXPECT_TRUE(lock.Lock(false)) << "the holder may enter again";
  EXPECT_FALSE(TryFromAnotherThread(lock));
  lock.Unlock();
  EXPECT_FALSE(TryFromAnotherThread(lock)) << "still held once";
  lock.Unlock();
  EXPECT_TRUE(TryFromAnotherThread(lock));
}

TEST(CriticalLock, WaitingLockBlocksUntilReleasedAndExcludesOthers) {
  CriticalLock lock;
  lock.Lock();
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

  long counter = 0;  // plain on purpose: only the lock keeps the increments apart
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        lock.Lock();
        lock.Lock();
        ++counter;
        lock.Unlock();
        lock.Unlock();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 80000);
}

}  // namespace
}  // namespace ThreadingLib
