#include "threadinglib/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/thread_platform.h"

namespace ThreadingLib {
namespace {

// Records its runs; each run resubmits the task while resubmissions are left, and may sleep.
struct CountingTask : Task {
  CountingTask(ThreadPool* pool, int id) : Task(pool), id(id) {}
  uint32_t Prepare() override { return 7; }
  void Run(uint32_t context) override {
    if (context != 7) wrongContext = true;
    if (sleepMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
    if (order != nullptr) order->push_back(id);  // only used on one-worker pools
    runs.fetch_add(1);
    if (resubmissions > 0) {
      --resubmissions;
      if (!Pool()->Submit(this)) failedSubmits.fetch_add(1);
    }
  }
  int id;
  int resubmissions = 0;
  int sleepMs = 0;
  bool wrongContext = false;
  std::vector<int>* order = nullptr;
  std::atomic<int> runs{0};
  std::atomic<int> failedSubmits{0};
};

// What the completion callback saw; it calls the batch off after stopAfter calls.
struct CallbackLog {
  std::atomic<int> calls{0};
  int stopAfter = -1;
  std::vector<int32_t> pendingSeen;  // one-worker pools only
  std::atomic<bool> batchReturned{false};
  std::atomic<int> callsAfterReturn{0};
};

bool LogCompletion(ThreadPool* pool, Task*, void* data) {
  auto* log = static_cast<CallbackLog*>(data);
  if (log->batchReturned.load()) log->callsAfterReturn.fetch_add(1);
  if (pool->WorkerCount() == 1) log->pendingSeen.push_back(pool->PendingCount());
  int calls = log->calls.fetch_add(1) + 1;
  return log->stopAfter < 0 || calls < log->stopAfter;
}

std::vector<std::unique_ptr<CountingTask>> MakeTasks(ThreadPool& pool, int count) {
  std::vector<std::unique_ptr<CountingTask>> tasks;
  for (int i = 0; i < count; ++i) tasks.push_back(std::make_unique<CountingTask>(&pool, i));
  return tasks;
}

int TotalRuns(const std::vector<std::unique_ptr<CountingTask>>& tasks) {
  int total = 0;
  for (const auto& task : tasks) total += task->runs.load();
  return total;
}

TEST(ThreadPool, OneWorkerRunsTheBatchInAddOrderAndCountsDownAfterEachRun) {
  ThreadPool pool;
  ASSERT_TRUE(pool.Create(1, 1, 0));
  auto tasks = MakeTasks(pool, 5);
  std::vector<int> order;
  for (int i : {3, 0, 4, 1, 2}) {
    tasks[i]->order = &order;
    ASSERT_TRUE(pool.Add(tasks[i].get()));
  }
  // A run submitted from a busy worker takes that worker's own slot, so it follows at once.
  tasks[4]->resubmissions = 2;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(TotalRuns(tasks), 0) << "Add must not run anything";

  CallbackLog log;
  pool.completionCallback = LogCompletion;
  pool.completionUserData = &log;
  EXPECT_TRUE(pool.RunAndWait());
  EXPECT_EQ(order, (std::vector<int>{3, 0, 4, 4, 4, 1, 2}));
  EXPECT_EQ(log.calls.load(), 7);
  // Read after the run's own decrement; a resubmission counts before its run starts.
  EXPECT_EQ(log.pendingSeen, (std::vector<int32_t>{4, 3, 3, 3, 2, 1, 0}));
  EXPECT_EQ(pool.PendingCount(), 0);
  EXPECT_FALSE(tasks[0]->wrongContext);
}

TEST(ThreadPool, ResubmittedRunsBelongToTheBatchOnEveryWorkerCount) {
  for (int workers : {1, 2, 4}) {
    ThreadPool pool;
    ASSERT_TRUE(pool.Create(workers, workers, 0));
    auto tasks = MakeTasks(pool, 300);
    for (int batch = 0; batch < 3; ++batch) {
      int expected = 0;
      for (auto& task : tasks) {
        task->runs = 0;
        task->resubmissions = (task->id * 7 + batch) % 5;
        expected += 1 + task->resubmissions;
        ASSERT_TRUE(pool.Add(task.get()));
      }
      CallbackLog log;
      pool.completionCallback = LogCompletion;
      pool.completionUserData = &log;
      pool.RunAndWait();
      EXPECT_EQ(TotalRuns(tasks), expected) << workers << " workers, batch " << batch;
      EXPECT_EQ(log.calls.load(), expected);
      EXPECT_EQ(pool.PendingCount(), 0);
      for (auto& task : tasks) EXPECT_EQ(task->failedSubmits.load(), 0);
    }
  }
}

TEST(ThreadPool, CallbackReturningFalseEndsTheWaitAndDropsRunsNotStarted) {
  for (int workers : {1, 2}) {
    ThreadPool pool;
    ASSERT_TRUE(pool.Create(workers, workers, 0));
    auto tasks = MakeTasks(pool, 100);
    for (auto& task : tasks) {
      task->sleepMs = 1;
      pool.Add(task.get());
    }
    CallbackLog log;
    log.stopAfter = 1;
    pool.completionCallback = LogCompletion;
    pool.completionUserData = &log;
    pool.RunAndWait();
    log.batchReturned = true;
    int runs = TotalRuns(tasks);
    EXPECT_GE(runs, 1);
    EXPECT_LE(runs, workers) << "only runs already under way may finish";
    EXPECT_GT(pool.PendingCount(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(TotalRuns(tasks), runs) << "a dropped run started later";
    EXPECT_EQ(log.callsAfterReturn.load(), 0);

    // The pool stays usable for the next batch.
    log.stopAfter = -1;
    for (auto& task : tasks) {
      task->sleepMs = 0;
      pool.Add(task.get());
    }
    pool.RunAndWait();
    EXPECT_EQ(TotalRuns(tasks), runs + 100);
  }
}

TEST(ThreadPool, EndlessResubmissionsStopWhenTheBatchIsCalledOff) {
  ThreadPool pool;
  ASSERT_TRUE(pool.Create(3, 3, 0));
  auto tasks = MakeTasks(pool, 8);
  for (auto& task : tasks) {
    task->resubmissions = 1 << 30;
    pool.Add(task.get());
  }
  CallbackLog log;
  log.stopAfter = 5000;
  pool.completionCallback = LogCompletion;
  pool.completionUserData = &log;
  pool.RunAndWait();  // must return although every task would go on forever
  log.batchReturned = true;
  int runs = TotalRuns(tasks);
  EXPECT_GE(runs, 5000);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(TotalRuns(tasks), runs);
  EXPECT_EQ(log.callsAfterReturn.load(), 0);
  EXPECT_FALSE(pool.Submit(tasks[0].get())) << "no batch is accepting work";
}

TEST(ThreadPool, CancelAllAndDestructionDropQueuedWork) {
  ThreadPool pool;
  ASSERT_TRUE(pool.Create(2, 2, 0));
  auto tasks = MakeTasks(pool, 10);
  for (auto& task : tasks) pool.Add(task.get());
  pool.CancelAll();
  pool.RunAndWait();  // nothing is left to run, so this returns at once
  EXPECT_EQ(TotalRuns(tasks), 0);

  {
    ThreadPool doomed;
    ASSERT_TRUE(doomed.Create(2, 2, 0));
    for (auto& task : tasks) doomed.Add(task.get());
  }
  EXPECT_EQ(TotalRuns(tasks), 0);
}

TEST(ThreadPool, PoolThatWasNeverCreatedQueuesNothing) {
  ThreadPool pool;
  CountingTask task(&pool, 0);
  EXPECT_FALSE(pool.Add(&task));
  EXPECT_FALSE(pool.Submit(&task));
  EXPECT_TRUE(pool.RunAndWait());
  pool.CancelAll();
  EXPECT_EQ(task.runs.load(), 0);
  EXPECT_EQ(pool.WorkerCount(), 0);
}

struct NicenessTask : Task {
  using Task::Task;
  uint32_t Prepare() override { return 0; }
  void Run(uint32_t) override { niceness = Platform::CurrentThreadNiceness(); }
  std::atomic<int> niceness{-100};
};

TEST(ThreadPool, WorkersPerProcessorAndTheirPriority) {
  int ownNiceness = Platform::CurrentThreadNiceness();
  for (int32_t priority : {0, -2}) {
    ThreadPool pool;
    ASSERT_TRUE(pool.CreateForProcessors(priority));
    EXPECT_EQ(pool.WorkerCount(), Platform::LogicalProcessorCount());
    std::vector<std::unique_ptr<NicenessTask>> tasks;
    for (int i = 0; i < 16; ++i) {
      tasks.push_back(std::make_unique<NicenessTask>(&pool));
      pool.Add(tasks.back().get());
    }
    pool.RunAndWait();
    for (auto& task : tasks) EXPECT_EQ(task->niceness.load(), priority == 0 ? ownNiceness : 19);
  }
}

}  // namespace
}  // namespace ThreadingLib
