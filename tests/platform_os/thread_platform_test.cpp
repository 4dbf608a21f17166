#include "platform_os/thread_platform.h"

#include <gtest/gtest.h>

#include <thread>

namespace Platform {
namespace {

TEST(ThreadPlatform, NamesAreCutToFifteenBytesOnWholeCharacters) {
  EXPECT_EQ(ShortThreadName("exactly15bytes!"), "exactly15bytes!");
  // "é" is two bytes; byte 15 would split the one at bytes 14-15.
  EXPECT_EQ(ShortThreadName("abcdefghijklmn\xC3\xA9xyz"), "abcdefghijklmn");
  std::string seen;
  std::thread([&] {
    SetCurrentThreadName("worker-with-a-long-name");
    seen = CurrentThreadName();
  }).join();
  EXPECT_EQ(seen, "worker-with-a-l");
}

TEST(ThreadPlatform, PriorityLevelsMapOntoPerThreadNiceness) {
  int before = CurrentThreadNiceness(), afterNormal = 0, afterBelow = 0, afterLowest = 0;
  bool belowApplied = false, unknownApplied = true, lowestApplied = false;
  std::thread([&] {
    SetCurrentThreadPriority(0);
    afterNormal = CurrentThreadNiceness();
    belowApplied = SetCurrentThreadPriority(-1);
    afterBelow = CurrentThreadNiceness();
    unknownApplied = SetCurrentThreadPriority(9);
    lowestApplied = SetCurrentThreadPriority(-2);
    afterLowest = CurrentThreadNiceness();
  }).join();
  EXPECT_EQ(afterNormal, before);
  if (before <= 10) {
    EXPECT_TRUE(belowApplied && afterBelow == 10) << afterBelow;
  }
  EXPECT_FALSE(unknownApplied);
  EXPECT_TRUE(lowestApplied);
  EXPECT_EQ(afterLowest, 19);
  EXPECT_EQ(CurrentThreadNiceness(), before) << "only the worker thread changed";
}

// Uses 12 MB of stack, more than the 8 MB default, so it only survives on a larger stack.
void UseDeepStack(void* argument) {
  constexpr std::size_t kBytes = 12u << 20;
  volatile char buffer[kBytes];
  for (std::size_t i = 0; i < kBytes; i += 4096) buffer[i] = static_cast<char>(i / 4096);
  *static_cast<int*>(argument) = buffer[5 * 4096];
}

TEST(ThreadPlatform, NativeThreadRunsWithTheRequestedStack) {
  int result = -1;
  NativeThread thread;
  ASSERT_EQ(thread.Create(UseDeepStack, &result, 16u << 20), 0);
  EXPECT_FALSE(thread.IsCurrent());
  thread.Join();
  EXPECT_FALSE(thread.Created());
  EXPECT_EQ(result, 5);
}

}  // namespace
}  // namespace Platform
