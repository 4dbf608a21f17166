#include "simulation/random_unit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "threadinglib/thread_pool.h"

namespace Simulation {
namespace {

TEST(RandomStream, MatchesThePublishedMersenneTwister) {
  RandomStream stream;
  // The published first outputs for the default seed 5489.
  for (uint32_t expected : {3499211612u, 581869302u, 3890346734u, 3586334585u, 545404204u}) {
    EXPECT_EQ(stream.Next(), expected);
  }
  for (uint32_t seed : {5489u, 0u, 19650218u, 0xFFFFFFFFu}) {
    RandomStream ours(seed);
    std::mt19937 reference(seed);
    for (int i = 0; i < 10000; ++i) ASSERT_EQ(ours.Next(), reference()) << seed << " at " << i;
  }
  RandomStream again;
  for (int i = 1; i < 10000; ++i) again.Next();
  EXPECT_EQ(again.Next(), 4123659995u);  // the 10000th output, as published
}

TEST(RandomStream, UnitRoundsTheScaledOutputOnceToFloat) {
  EXPECT_EQ(UnitFromBits(0), 0.0f);
  EXPECT_EQ(UnitFromBits(0xFFFFFFFFu), 1.0f);
  EXPECT_EQ(UnitFromBits(0xFFFFFFFFu - 127), 1.0f);
  EXPECT_LT(UnitFromBits(0xFFFFFFFFu - 128), 1.0f);
  EXPECT_EQ(UnitFromBits(1u << 31), 0.5f);
  EXPECT_EQ(UnitFromBits(3499211612u), 0.81472367f);  // the default stream's first value
}

TEST(RandomStream, BulkDrawsAreTheSingleDrawsInOrderAcrossTwists) {
  RandomStream single(11), bulk(11);
  // A start in the middle of a block, then runs shorter than, equal to and longer than one.
  for (int i = 0; i < 100; ++i) single.NextUnit(), bulk.NextUnit();
  for (size_t count : {size_t(0), size_t(1), size_t(523), size_t(624), size_t(2000)}) {
    std::vector<float> drawn(count);
    bulk.NextUnits(drawn.data(), count);
    for (size_t i = 0; i < count; ++i) ASSERT_EQ(drawn[i], single.NextUnit()) << count << " at " << i;
  }
  EXPECT_EQ(bulk.Next(), single.Next());
}

// Position of value in the default stream's first outputs, or -1.
int PositionInDefaultStream(float value) {
  RandomStream fresh;
  for (int i = 0; i < 1000000; ++i) {
    if (fresh.NextUnit() == value) return i;
  }
  return -1;
}

TEST(RandomUnit, IsOneProcessWideStreamConsistentUnderConcurrentDraws) {
  float first = RandomUnit();
  int position = PositionInDefaultStream(first);
  ASSERT_GE(position, 0) << "RandomUnit does not come from the default-seeded stream";

  constexpr int kThreads = 4, kDraws = 5000;
  std::vector<std::vector<float>> drawn(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&drawn, t] {
      for (int i = 0; i < kDraws; ++i) drawn[t].push_back(RandomUnit());
    });
  }
  for (auto& thread : threads) thread.join();
  std::vector<float> all;
  for (auto& values : drawn) all.insert(all.end(), values.begin(), values.end());

  // Together the threads drew exactly the stream's next values, each once.
  RandomStream fresh;
  for (int i = 0; i <= position; ++i) fresh.Next();
  std::vector<float> expected;
  for (size_t i = 0; i < all.size(); ++i) expected.push_back(fresh.NextUnit());
  std::sort(all.begin(), all.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(all, expected);
}

struct DrawTask : ThreadingLib::Task {
  using Task::Task;
  uint32_t Prepare() override { return 0; }
  void Run(uint32_t) override { drawn = ThreadRandomStream().Next(); }
  uint32_t drawn = 0;
};

// The first two outputs of the calling thread's stream, from a copy so the stream is untouched.
uint64_t StreamStart() {
  RandomStream copy = ThreadRandomStream();
  uint64_t high = copy.Next();
  return high << 32 | copy.Next();
}

TEST(ThreadRandomStream, EveryThreadDrawsFromItsOwnDistinctlySeededStream) {
  RandomStream processStart;
  uint64_t high = processStart.Next();
  std::set<uint64_t> starts{high << 32 | processStart.Next(), StreamStart()};
  for (int t = 0; t < 8; ++t) {
    uint64_t start = 0;
    std::thread([&start] { start = StreamStart(); }).join();
    starts.insert(start);
  }
  EXPECT_EQ(starts.size(), 10u) << "two threads (or a thread and the process) share a stream";

  // On pool workers the streams continue from run to run: no two runs draw the same number.
  ThreadingLib::ThreadPool pool;
  ASSERT_TRUE(pool.Create(3, 3, 0));
  std::vector<std::unique_ptr<DrawTask>> tasks;
  for (int i = 0; i < 60; ++i) {
    tasks.push_back(std::make_unique<DrawTask>(&pool));
    pool.Add(tasks.back().get());
  }
  pool.RunAndWait();
  std::set<uint32_t> drawn;
  for (auto& task : tasks) drawn.insert(task->drawn);
  EXPECT_EQ(drawn.size(), tasks.size());
}

}  // namespace
}  // namespace Simulation
