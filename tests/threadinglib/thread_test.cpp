#include "threadinglib/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "platform_os/thread_platform.h"

namespace ThreadingLib {
namespace {

struct Block {
  int32_t a;
  int32_t b;
};

// Records what its run saw; holds the run open until released, or until asked to stop when
// untilStopped is set.
class RecordingProcess : public ThreadProcess {
public:
  int32_t Run(void* parameters) override {
    hadParameters = parameters != nullptr;
    if (parameters != nullptr) std::memcpy(&seen, parameters, sizeof seen);
    stopAtStart = StopRequested();
    name = Platform::CurrentThreadName();
    niceness = Platform::CurrentThreadNiceness();
    started = true;
    while (!(untilStopped ? StopRequested() : release.load())) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    runs.fetch_add(1);
    return seen.a + seen.b;
  }

  bool untilStopped = false;
  std::atomic<bool> release{false};
  std::atomic<bool> started{false};
  std::atomic<int> runs{0};
  Block seen{0, 0};
  bool hadParameters = false;
  bool stopAtStart = true;
  std::string name;
  int niceness = -100;
};

TEST(Thread, RunsTheProcessOnceOnAPrivateCopyOfTheParameters) {
  RecordingProcess process;
  process.Stop();  // a stop asked before Start has no lasting effect
  Thread thread("Patinex", &process, 2, 0);
  EXPECT_EQ(thread.Name(), "Patinex");
  EXPECT_FALSE(thread.IsRunning());
  Block block{40, 2};
  ASSERT_TRUE(thread.Start(&block, sizeof block));
  block.a = 1000;  // the caller may reuse its record at once
  while (!process.started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(thread.IsRunning());

  process.Stop();
  EXPECT_FALSE(thread.Start(&block, sizeof block)) << "already running";
  EXPECT_TRUE(process.StopRequested()) << "a refused Start must not touch the stop flag";

  process.release = true;
  thread.Wait();
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.ExitCode(), 42);
  EXPECT_EQ(process.runs.load(), 1);
  EXPECT_TRUE(process.hadParameters);
  EXPECT_EQ(process.seen.a, 40);
  EXPECT_FALSE(process.stopAtStart);
  EXPECT_EQ(process.name, "Patinex");
}

TEST(Thread, NamesLevelsAndStartsWithoutParameters) {
  int ownNiceness = Platform::CurrentThreadNiceness();
  for (int32_t level : {0, 7}) {
    RecordingProcess process;
    process.release = true;
    Thread thread("A rather long thread name", &process, level, 64 * 1024);
    ASSERT_TRUE(thread.Start(nullptr, 16));
    thread.Wait();
    EXPECT_FALSE(process.hadParameters);
    EXPECT_EQ(process.name, "A rather long t");
    EXPECT_EQ(process.niceness, level == 0 ? 19 : ownNiceness) << "level " << level;
  }
  Thread empty("Empty", nullptr, 2, 0);
  EXPECT_FALSE(empty.Start(nullptr, 0));
}

TEST(Thread, DeletingARunningThreadStopsAndJoinsIt) {
  RecordingProcess process;
  process.untilStopped = true;
  auto thread = std::make_unique<Thread>("Doomed", &process, 2, 0);
  ASSERT_TRUE(thread->Start(nullptr, 0));
  while (!process.started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  thread.reset();
  EXPECT_EQ(process.runs.load(), 1) << "the run must have ended before the Thread was freed";

  RecordingProcess idle;
  { Thread neverStarted("Idle", &idle, 2, 0); }
  EXPECT_FALSE(idle.started);
}

}  // namespace
}  // namespace ThreadingLib
