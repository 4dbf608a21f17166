#include "threadinglib/thread_pool.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>
#include <thread>

#include "platform_os/thread_platform.h"

namespace ThreadingLib {

// Where a worker finds work, in order:
//  1. its own slot: a run that a task submitted from this worker's running task while no other
//     worker was idle. The worker takes it as soon as its current run ends, without touching
//     shared state, so a task that resubmits itself leg after leg costs no lock and no queue
//     traffic;
//  2. the batch handed over by RunAndWait, claimed one index at a time with an atomic cursor;
//  3. the overflow ring (under the mutex): submissions from other threads, or made while some
//     worker was idle so that the idle worker can pick them up.
// A worker is "active" from the moment it leaves the idle wait until it returns to it; the
// release (cancel) stops the hand-out of work and waits until no worker is active, which is
// what guarantees that nothing of a batch still runs when RunAndWait or CancelAll returns.
//
// Counting: a run put in the slot is not added to pendingCount; instead the run that submitted
// it skips its own decrement when it finishes and so hands its count over. The count can still
// only reach zero when every run has finished, the submitting worker's completion callback reads
// the same value as with an increment and a decrement, and the two contended atomic operations
// per leg are saved.

// Each worker writes its slot on every run, so workers never share a cache line.
struct alignas(64) ThreadPool::Worker {
  ThreadPool* pool = nullptr;
  // Touched only by this worker's own thread.
  Task* slot = nullptr;
  bool inRun = false;          // a task's Run is executing on this worker
  bool slotUncounted = false;  // the slot's run takes over the count of the run under way
  std::thread thread;
};

thread_local ThreadPool::Worker* ThreadPool::currentWorker = nullptr;

ThreadPool::ThreadPool() = default;

ThreadPool::~ThreadPool() {
  if (created) {
    std::unique_lock lock(mutex);
    ReleaseLocked(lock);
  }
  StopWorkers();
}

bool ThreadPool::Create(int32_t minThreads, int32_t maxThreads, int32_t workerPriority) {
  if (created || minThreads < 0 || maxThreads < 0) return false;
  int32_t count = maxThreads != 0 ? maxThreads : minThreads;
  if (count < 1) count = 1;
  priority = workerPriority;
  try {
    workers.reserve(static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
      workers.push_back(std::make_unique<Worker>());
      Worker* worker = workers.back().get();
      worker->pool = this;
      worker->thread = std::thread(&ThreadPool::WorkerMain, this, worker);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "ThreadPool: cannot start worker %zu of %d: %s\n", workers.size(), count,
                 error.what());
    StopWorkers();
    return false;
  }
  created = true;
  return true;
}

bool ThreadPool::CreateForProcessors(int32_t workerPriority) {
  int32_t processors = Platform::LogicalProcessorCount();
  return Create(processors, processors, workerPriority);
}

bool ThreadPool::Add(Task* task) {
  // The batch size must fit the signed 32-bit pending count.
  if (!created || task == nullptr || queued.size() >= static_cast<std::size_t>(INT32_MAX)) {
    return false;
  }
  try {
    queued.push_back(task);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool ThreadPool::Submit(Task* task) {
  if (task == nullptr || !accepting.load(std::memory_order_relaxed)) return false;
  Worker* self = currentWorker;
  if (self != nullptr && self->pool == this && self->inRun && self->slot == nullptr &&
      idleWorkers.load(std::memory_order_relaxed) == 0) {
    self->slot = task;
    self->slotUncounted = true;
    return true;
  }
  // Counted first: the submitting run has not finished yet, so the count cannot reach zero
  // between this point and the new run's own completion.
  pendingCount.fetch_add(1, std::memory_order_relaxed);
  {
    std::lock_guard lock(mutex);
    if (accepting.load(std::memory_order_relaxed)) {
      bool pushed = true;
      try {
        overflow.Push(task);
      } catch (const std::bad_alloc&) {
        pushed = false;
      }
      if (pushed) {
        overflowCount.store(overflow.Count(), std::memory_order_relaxed);
        if (idleWorkers.load(std::memory_order_relaxed) > 0) wakeWorkers.notify_one();
        return true;
      }
    }
  }
  pendingCount.fetch_sub(1, std::memory_order_relaxed);
  return false;
}

bool ThreadPool::RunAndWait() {
  if (!created || queued.empty()) {
    queued.clear();
    pendingCount.store(0, std::memory_order_relaxed);
    return true;
  }
  std::unique_lock lock(mutex);
  pendingCount.store(static_cast<int32_t>(queued.size()), std::memory_order_relaxed);
  done = false;
  batch.swap(queued);
  queued.clear();
  batchTasks = batch.data();
  batchSize = batch.size();
  batchCursor.store(0, std::memory_order_relaxed);
  accepting.store(true, std::memory_order_relaxed);
  wakeWorkers.notify_all();
  wakeOwner.wait(lock, [this] { return done; });
  ReleaseLocked(lock);
  if (failure) {
    std::exception_ptr thrown = std::move(failure);
    failure = nullptr;
    std::rethrow_exception(thrown);
  }
  return true;
}

void ThreadPool::CancelAll() {
  queued.clear();
  if (!created) return;
  std::unique_lock lock(mutex);
  ReleaseLocked(lock);
}

void ThreadPool::ReleaseLocked(std::unique_lock<std::mutex>& lock) {
  accepting.store(false, std::memory_order_relaxed);
  releasing = true;
  wakeOwner.wait(lock, [this] { return activeWorkers == 0; });
  releasing = false;
  // No worker is active and none can become active until the next batch, so the hand-out
  // state can be reset without racing with Claim.
  batch.clear();
  batchTasks = nullptr;
  batchSize = 0;
  batchCursor.store(0, std::memory_order_relaxed);
  overflow.Clear();
  overflowCount.store(0, std::memory_order_relaxed);
}

void ThreadPool::SignalDoneLocked() {
  done = true;
  wakeOwner.notify_all();
}

void ThreadPool::StopWorkers() {
  {
    std::lock_guard lock(mutex);
    stopping = true;
  }
  wakeWorkers.notify_all();
  for (auto& worker : workers) {
    if (worker->thread.joinable()) worker->thread.join();
  }
  workers.clear();
  created = false;
  std::lock_guard lock(mutex);
  stopping = false;
}

void ThreadPool::WorkerMain(Worker* self) {
  currentWorker = self;
  // The workers serve this pool only, so the priority is set once for the worker's whole life.
  if (priority != 0) Platform::SetCurrentThreadPriority(priority);
  std::unique_lock lock(mutex);
  while (!stopping) {
    bool work = accepting.load(std::memory_order_relaxed) &&
                (batchCursor.load(std::memory_order_relaxed) < batchSize || !overflow.Empty());
    if (!work) {
      idleWorkers.fetch_add(1, std::memory_order_relaxed);
      wakeWorkers.wait(lock);
      idleWorkers.fetch_sub(1, std::memory_order_relaxed);
      continue;
    }
    ++activeWorkers;
    lock.unlock();
    Drain(self);
    lock.lock();
    if (--activeWorkers == 0 && releasing) wakeOwner.notify_all();
  }
  currentWorker = nullptr;
}

Task* ThreadPool::Claim() {
  if (batchCursor.load(std::memory_order_relaxed) < batchSize) {
    std::size_t index = batchCursor.fetch_add(1, std::memory_order_relaxed);
    if (index < batchSize) return batchTasks[index];
  }
  if (overflowCount.load(std::memory_order_relaxed) == 0) return nullptr;
  std::lock_guard lock(mutex);
  Task* task = overflow.Pop();
  overflowCount.store(overflow.Count(), std::memory_order_relaxed);
  return task;
}

void ThreadPool::Drain(Worker* self) {
  while (accepting.load(std::memory_order_relaxed)) {
    Task* task = self->slot;
    if (task != nullptr) {
      self->slot = nullptr;
    } else {
      task = Claim();
      if (task == nullptr) return;
    }
    self->inRun = true;
    try {
      task->Run(task->Prepare());
    } catch (...) {
      // Out of memory, most likely: the batch cannot be finished, so it is called off, and the
      // owner learns why from RunAndWait.
      self->inRun = false;
      accepting.store(false, std::memory_order_relaxed);
      std::lock_guard lock(mutex);
      if (!failure) failure = std::current_exception();
      SignalDoneLocked();
      break;
    }
    self->inRun = false;
    if (self->slotUncounted) {
      self->slotUncounted = false;  // this run's count passes to the run in the slot
    } else if (pendingCount.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      std::lock_guard lock(mutex);
      SignalDoneLocked();
    }
    if (CompletionCallback callback = completionCallback;
        callback != nullptr && !callback(this, task, completionUserData)) {
      // Called off: stop handing out work at once, then wake the owner.
      accepting.store(false, std::memory_order_relaxed);
      std::lock_guard lock(mutex);
      SignalDoneLocked();
    }
  }
  // The batch was called off; a run left in the slot is dropped with it.
  self->slot = nullptr;
  self->slotUncounted = false;
}

}  // namespace ThreadingLib
