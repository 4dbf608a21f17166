#include "app/background_job.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {

// A job's work sees a cancel at its next check; the job is done only once the work has returned,
// is reaped once, and can then run again.
TEST(BackgroundJob, CancelReachesTheWorkAndADoneJobIsReapedOnceThenRunsAgain) {
  BackgroundJob job;
  std::atomic<bool> release{false};
  std::atomic<int> checks{0};
  ASSERT_TRUE(job.Start([&] {
    while (!job.Cancelled() || !release.load()) {
      checks.fetch_add(1);
      std::this_thread::yield();
    }
  }));
  EXPECT_TRUE(job.Started());
  std::string why;
  EXPECT_FALSE(job.Start([] {}, &why)) << "a second job before the first is joined";
  EXPECT_FALSE(why.empty());
  while (checks.load() < 10) std::this_thread::yield();
  EXPECT_FALSE(job.Done());
  EXPECT_FALSE(job.Reap()) << "the work still goes on";
  job.Cancel();
  release = true;
  const auto start = std::chrono::steady_clock::now();
  while (!job.Reap()) {
    ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << "the cancel never reached the work";
    std::this_thread::yield();
  }
  EXPECT_TRUE(job.Done());
  EXPECT_FALSE(job.Started());
  EXPECT_FALSE(job.Reap()) << "reaped once only";

  int ran = 0;
  ASSERT_TRUE(job.Start([&] { ran = job.Cancelled() ? -1 : 1; }));
  job.Wait();
  EXPECT_EQ(ran, 1) << "a new start clears the earlier cancel";
}

}  // namespace
