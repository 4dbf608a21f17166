// Per-run overhead of the worker pool on the tracing pattern: every task resubmits itself for
// its next leg. 2,000,000 task runs (500,000 tasks of four runs each) on two workers, beside a
// minimal mutex-and-deque pool doing the same work. The counter ns_per_task_run is wall time
// per task run, batch set-up included.
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "threadinglib/thread_pool.h"

namespace {

constexpr int kWorkers = 2;
constexpr int kResubmissions = 3;
constexpr int kTaskRuns = 2'000'000;
constexpr int kTasks = kTaskRuns / (1 + kResubmissions);

// The baseline: one mutex guards a deque of task pointers and the pending count; workers sleep
// on a condition variable. A worker finishes a run and takes the next one under a single lock.
class BaselinePool {
public:
  struct Task {
    virtual ~Task() = default;
    virtual void Run(BaselinePool& pool) = 0;
  };

  explicit BaselinePool(int workers) {
    for (int i = 0; i < workers; ++i) threads.emplace_back([this] { Work(); });
  }
  ~BaselinePool() {
    {
      std::lock_guard lock(mutex);
      stopping = true;
    }
    workAvailable.notify_all();
    for (auto& thread : threads) thread.join();
  }

  void Add(Task* task) { batch.push_back(task); }

  void Submit(Task* task) {
    {
      std::lock_guard lock(mutex);
      ++pending;
      queue.push_back(task);
    }
    workAvailable.notify_one();
  }

  void RunAndWait() {
    std::unique_lock lock(mutex);
    pending += static_cast<long>(batch.size());
    queue.insert(queue.end(), batch.begin(), batch.end());
    batch.clear();
    workAvailable.notify_all();
    batchDone.wait(lock, [this] { return pending == 0; });
  }

private:
  void Work() {
    std::unique_lock lock(mutex);
    for (;;) {
      workAvailable.wait(lock, [this] { return stopping || !queue.empty(); });
      if (stopping) return;
      Task* task = queue.front();
      queue.pop_front();
      lock.unlock();
      task->Run(*this);
      lock.lock();
      if (--pending == 0) batchDone.notify_all();
    }
  }

  std::mutex mutex;
  std::condition_variable workAvailable;
  std::condition_variable batchDone;
  std::deque<Task*> queue;
  long pending = 0;
  bool stopping = false;
  std::vector<Task*> batch;
  std::vector<std::thread> threads;
};

// The tasks of both pools take a cache line each, as the simulation's far larger tasks do, so
// that neighbouring tasks run by different workers do not slow each other down.
struct alignas(64) BaselineLegTask : BaselinePool::Task {
  void Run(BaselinePool& pool) override {
    if (legsLeft-- > 0) pool.Submit(this);
  }
  int legsLeft = 0;
};

struct alignas(64) LegTask : ThreadingLib::Task {
  explicit LegTask(ThreadingLib::ThreadPool* pool) : Task(pool) {}
  uint32_t Prepare() override { return 0; }
  void Run(uint32_t) override {
    if (legsLeft-- > 0) Pool()->Submit(this);
  }
  int legsLeft = 0;
};

// Wall time of the timed part of every iteration, over all task runs.
void ReportPerRun(benchmark::State& state, std::chrono::nanoseconds timed) {
  state.counters["ns_per_task_run"] =
      static_cast<double>(timed.count()) / (static_cast<double>(kTaskRuns) * state.iterations());
}

// Runs batches of tasks that each resubmit themselves kResubmissions times and reports the
// time per task run; the same loop drives both pools.
template <class Pool, class LegTaskType>
void TimeBatches(benchmark::State& state, Pool& pool, std::vector<LegTaskType>& tasks) {
  std::chrono::nanoseconds timed{0};
  for (auto _ : state) {
    state.PauseTiming();
    for (auto& task : tasks) task.legsLeft = kResubmissions;
    state.ResumeTiming();
    auto start = std::chrono::steady_clock::now();
    for (auto& task : tasks) pool.Add(&task);
    pool.RunAndWait();
    timed += std::chrono::steady_clock::now() - start;
  }
  for (const auto& task : tasks) {
    if (task.legsLeft != -1) state.SkipWithError("a task did not run all its legs");
  }
  ReportPerRun(state, timed);
}

void BM_ThreadPool(benchmark::State& state) {
  ThreadingLib::ThreadPool pool;
  if (!pool.Create(kWorkers, kWorkers, 0)) {
    state.SkipWithError("cannot create the pool");
    return;
  }
  std::vector<LegTask> tasks(kTasks, LegTask(&pool));
  TimeBatches(state, pool, tasks);
}

void BM_BaselinePool(benchmark::State& state) {
  BaselinePool pool(kWorkers);
  std::vector<BaselineLegTask> tasks(kTasks);
  TimeBatches(state, pool, tasks);
}

BENCHMARK(BM_ThreadPool)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_BaselinePool)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
