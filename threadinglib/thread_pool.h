#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "threadinglib/task.h"
#include "threadinglib/task_ring.h"

namespace ThreadingLib {

// A private set of worker threads that runs batches of tasks while the owning thread waits.
//
// A batch is built with Add (which only queues) and run with RunAndWait, which hands the queued
// tasks to the workers in the order they were added and blocks until every run of the batch has
// finished, or until the completion callback calls the batch off. A running task may put itself
// or another task back on the pool with Submit; such runs belong to the batch under way.
//
// All operations except Submit are for the owning thread only. Submit is meant for running tasks
// (it is accepted from any thread while a batch runs). Tasks are never owned, copied or freed by
// the pool, and neither Submit nor a task run allocates memory once the pool has warmed up.
class ThreadPool {
public:
  // Called on the worker after each task run, once PendingCount() already excludes that run.
  // Returning false ends the wait of RunAndWait at once; runs not yet started are then dropped.
  // Runs concurrently on several workers. Set the two fields only while no batch runs.
  using CompletionCallback = bool (*)(ThreadPool* pool, Task* task, void* userData);

  CompletionCallback completionCallback = nullptr;
  void* completionUserData = nullptr;

  ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;
  // Drops the runs not yet started, waits for the running ones and ends the workers.
  ~ThreadPool();

  // Starts the workers: maxThreads of them, or minThreads when maxThreads is 0, and at least one.
  // priority (-2 lowest .. 2 highest, 0 = keep) is applied to every worker before it runs a task.
  // Returns false if the pool already exists, a count is negative or a worker cannot be started.
  bool Create(int32_t minThreads, int32_t maxThreads, int32_t priority);
  // One worker per logical processor.
  bool CreateForProcessors(int32_t priority);

  // Queues a task for the next RunAndWait without running it. False if the pool was not created.
  bool Add(Task* task);
  // Adds one run of task to the batch under way. Counts the run before it can start, so a task
  // that submits its next run from inside Run keeps the batch open. Returns false (and counts
  // nothing) when no batch is accepting work, e.g. after the batch was called off.
  // A run submitted from a worker while no other worker is idle is kept by that worker and
  // starts when the submitting run has returned, so a run must not wait for a run it submitted.
  bool Submit(Task* task);
  // Runs the queued tasks and waits until all runs have finished or the completion callback
  // returned false. On return no run or callback of the batch is still executing. Returns at
  // once when nothing was queued. Always returns true; but a run that throws (std::bad_alloc,
  // say) calls the batch off, and the first such exception is thrown again here, on the
  // owning thread, once the batch has stopped.
  bool RunAndWait();
  // Drops every queued or submitted run that has not started and waits for the running ones.
  void CancelAll();

  // Runs of the current batch that have not finished (meaningful while RunAndWait runs). A run
  // submitted from a running task to the same worker shares the submitting run's count until
  // that run has finished, so other threads may briefly see one less per such worker; the
  // count never reaches zero while any run of the batch is outstanding.
  int32_t PendingCount() const { return pendingCount.load(std::memory_order_relaxed); }
  int32_t WorkerCount() const { return static_cast<int32_t>(workers.size()); }

private:
  struct Worker;
  // The worker record of the calling thread, or nullptr on threads that are no pool worker.
  static thread_local Worker* currentWorker;

  void WorkerMain(Worker* self);
  void Drain(Worker* self);
  Task* Claim();
  void SignalDoneLocked();
  void ReleaseLocked(std::unique_lock<std::mutex>& lock);
  void StopWorkers();

  // Read by every run; written only between batches or when a batch is called off.
  std::atomic<bool> accepting{false};
  int32_t priority = 0;
  bool created = false;
  Task* const* batchTasks = nullptr;
  std::size_t batchSize = 0;

  // Changed by every run that finishes, so it gets a cache line of its own.
  alignas(64) std::atomic<int32_t> pendingCount{0};
  // Next unclaimed index of the batch; changed once per batch task.
  alignas(64) std::atomic<std::size_t> batchCursor{0};
  // Changed only when workers fall idle or submissions spill over; read by Submit.
  alignas(64) std::atomic<int32_t> idleWorkers{0};
  std::atomic<std::size_t> overflowCount{0};

  // Everything below is guarded by mutex.
  alignas(64) std::mutex mutex;
  std::condition_variable wakeWorkers;
  std::condition_variable wakeOwner;
  bool done = false;
  bool releasing = false;
  bool stopping = false;
  int32_t activeWorkers = 0;
  std::vector<Task*> batch;
  TaskRing overflow;
  std::exception_ptr failure;  // what a run of the batch threw

  // Owning thread only.
  std::vector<Task*> queued;
  std::vector<std::unique_ptr<Worker>> workers;
};

}  // namespace ThreadingLib
