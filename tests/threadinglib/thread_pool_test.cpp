#include "threadinglib/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "platform_os/thread_platform.h"

namespace ThreadingLib {
namespace {

// Records its runs and resubmits itself while resubmissions are left.
struct CountingTask : Task {
  CountingTask(ThreadPool* pool, int id) : Task(pool), id(id) {}
  uint32_t Prepare() override { return 7; }
  void Run(uint32_t context) override {
    if (context != 7 || Platform::CurrentThreadNiceness() != expectedNiceness) ++wrong;
    if (sleepMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
    if (order != nullptr) order->push_back(id);  // used on one-worker pools only
    ++runs;
    if (resubmissions > 0) {
      --resubmissions;
      if (!Pool()->Submit(this)) ++refused;
    }
  }
  int id, resubmissions = 0, sleepMs = 0, expectedNiceness = Platform::CurrentThreadNiceness();
  std::vector<int>* order = nullptr;
  std::atomic<int> runs{0}, wrong{0}, refused{0};
};

// A pool with tasks and a completion callback that logs its calls and calls the batch off after
// stopAfter of them.
struct Batch {
  // workers = 0: one per processor.
  Batch(int workers, int count, int32_t priority = 0) {
    EXPECT_TRUE(workers == 0 ? pool.CreateForProcessors(priority)
                             : pool.Create(workers, workers, priority));
    for (int i = 0; i < count; ++i) tasks.push_back(std::make_unique<CountingTask>(&pool, i));
    pool.completionCallback = [](ThreadPool* pool, Task*, void* data) {
      auto* self = static_cast<Batch*>(data);
      if (self->returned) ++self->callsAfterReturn;
      if (pool->WorkerCount() == 1) self->pendingSeen.push_back(pool->PendingCount());
      int calls = ++self->calls;
      return self->stopAfter < 0 || calls < self->stopAfter;
    };
    pool.completionUserData = this;
  }
  void Run() {
    for (auto& task : tasks) ASSERT_TRUE(pool.Add(task.get()));
    pool.RunAndWait();
    returned = true;
  }
  int Sum(std::atomic<int> CountingTask::*counter) const {
    int total = 0;
    for (const auto& task : tasks) total += (*task).*counter;
    return total;
  }
  int Runs() const { return Sum(&CountingTask::runs); }

  std::atomic<int> calls{0}, callsAfterReturn{0};
  std::atomic<bool> returned{false};
  int stopAfter = -1;
  std::vector<int32_t> pendingSeen;
  ThreadPool pool;
  std::vector<std::unique_ptr<CountingTask>> tasks;
};

TEST(ThreadPool, OneWorkerRunsTheBatchInAddOrderAndCountsDownAfterEachRun) {
  Batch batch(1, 5);
  std::vector<int> order;
  for (int i : {3, 0, 4, 1, 2}) {
    batch.tasks[i]->order = &order;
    ASSERT_TRUE(batch.pool.Add(batch.tasks[i].get()));
  }
  // A run submitted from a busy worker takes that worker's own slot, so it follows at once.
  batch.tasks[4]->resubmissions = 2;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(batch.Runs(), 0) << "Add must not run anything";
  EXPECT_TRUE(batch.pool.RunAndWait());
  EXPECT_EQ(order, (std::vector<int>{3, 0, 4, 4, 4, 1, 2}));
  // Read after the run's own decrement; a resubmission counts before its run starts.
  EXPECT_EQ(batch.pendingSeen, (std::vector<int32_t>{4, 3, 3, 3, 2, 1, 0}));
  EXPECT_EQ(batch.Sum(&CountingTask::wrong), 0) << "Run did not get what Prepare returned";
}

TEST(ThreadPool, ResubmittedRunsBelongToTheBatchOnEveryWorkerCount) {
  for (int workers : {1, 2, 4}) {
    Batch batch(workers, 300);
    for (int round = 0; round < 3; ++round) {
      int before = batch.Runs(), added = 0;
      for (auto& task : batch.tasks) {
        task->resubmissions = (task->id * 7 + round) % 5;
        added += 1 + task->resubmissions;
      }
      batch.calls = 0;
      batch.Run();
      EXPECT_EQ(batch.Runs(), before + added) << workers << " workers, round " << round;
      EXPECT_EQ(batch.calls.load(), added);
      EXPECT_EQ(batch.pool.PendingCount(), 0);
    }
    EXPECT_EQ(batch.Sum(&CountingTask::wrong) + batch.Sum(&CountingTask::refused), 0);
  }
}

TEST(ThreadPool, CallbackReturningFalseEndsTheWaitAndDropsRunsNotStarted) {
  for (int workers : {1, 2}) {
    Batch batch(workers, 100);
    for (auto& task : batch.tasks) task->sleepMs = 1;
    batch.stopAfter = 1;
    batch.Run();
    int runs = batch.Runs();
    EXPECT_GE(runs, 1);
    EXPECT_LE(runs, workers) << "only runs already under way may finish";
    EXPECT_GT(batch.pool.PendingCount(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(batch.Runs(), runs) << "a dropped run started later";
    EXPECT_EQ(batch.callsAfterReturn.load(), 0);

    batch.stopAfter = -1;  // the pool stays usable for the next batch
    batch.Run();
    EXPECT_EQ(batch.Runs(), runs + 100);
  }
}

TEST(ThreadPool, EndlessResubmissionsStopWhenTheBatchIsCalledOff) {
  Batch batch(3, 8);
  for (auto& task : batch.tasks) task->resubmissions = 1 << 30;
  batch.stopAfter = 5000;
  batch.Run();  // must return although every task would go on forever
  int runs = batch.Runs();
  EXPECT_GE(runs, 5000);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(batch.Runs(), runs);
  EXPECT_EQ(batch.callsAfterReturn.load(), 0);
  EXPECT_FALSE(batch.pool.Submit(batch.tasks[0].get())) << "no batch is accepting work";
}

TEST(ThreadPool, CancelAllAndDestructionDropQueuedWork) {
  Batch batch(2, 10);
  for (auto& task : batch.tasks) batch.pool.Add(task.get());
  batch.pool.CancelAll();
  batch.pool.RunAndWait();  // nothing is left to run, so this returns at once
  {
    ThreadPool doomed;
    ASSERT_TRUE(doomed.Create(2, 2, 0));
    for (auto& task : batch.tasks) doomed.Add(task.get());
  }
  ThreadPool neverCreated;
  EXPECT_FALSE(neverCreated.Add(batch.tasks[0].get()));
  EXPECT_FALSE(neverCreated.Submit(batch.tasks[0].get()));
  EXPECT_TRUE(neverCreated.RunAndWait());
  EXPECT_EQ(batch.Runs(), 0);
}

TEST(ThreadPool, WorkersPerProcessorAndTheirPriority) {
  int ownNiceness = Platform::CurrentThreadNiceness();
  for (int32_t priority : {0, -2}) {
    Batch batch(0, 16, priority);
    EXPECT_EQ(batch.pool.WorkerCount(), Platform::LogicalProcessorCount());
    for (auto& task : batch.tasks) task->expectedNiceness = priority == 0 ? ownNiceness : 19;
    batch.Run();
    EXPECT_EQ(batch.Runs(), 16);
    EXPECT_EQ(batch.Sum(&CountingTask::wrong), 0) << "a run saw the wrong priority";
  }
}

// Runs out of memory on its `failAt`-th run (counted over all of its kind). The runs after it
// take a little while, so that the batch being called off shows however slowly the first throw
// of the process unwinds.
struct FailingTask : Task {
  explicit FailingTask(ThreadPool* pool) : Task(pool) {}
  uint32_t Prepare() override { return 0; }
  void Run(uint32_t) override {
    const int run = ++started;
    if (run == failAt) throw std::bad_alloc();
    if (failAt >= 0 && run > failAt) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  static inline std::atomic<int> started{0};
  static inline int failAt = 0;
};

TEST(ThreadPool, ARunThatThrowsCallsTheBatchOffAndTheOwnerHearsOfIt) {
  ThreadPool pool;
  ASSERT_TRUE(pool.Create(2, 2, 0));
  std::vector<std::unique_ptr<FailingTask>> tasks;
  for (int i = 0; i < 2000; ++i) tasks.push_back(std::make_unique<FailingTask>(&pool));
  FailingTask::started = 0;
  FailingTask::failAt = 5;
  for (auto& task : tasks) ASSERT_TRUE(pool.Add(task.get()));
  EXPECT_THROW(pool.RunAndWait(), std::bad_alloc);
  EXPECT_LT(FailingTask::started.load(), 2000);  // called off, not run to the end

  // The pool goes on working, and the failure is not heard of twice.
  FailingTask::started = 0;
  FailingTask::failAt = -1;
  for (auto& task : tasks) ASSERT_TRUE(pool.Add(task.get()));
  EXPECT_NO_THROW(pool.RunAndWait());
  EXPECT_EQ(FailingTask::started.load(), 2000);
}

}  // namespace
}  // namespace ThreadingLib
