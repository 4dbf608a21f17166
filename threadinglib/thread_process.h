#pragma once

#include <atomic>
#include <cstdint>

namespace ThreadingLib {

// A long computation that a Thread runs once per start. Stopping is cooperative: Stop only
// raises a flag that the computation polls (from its own thread and from any pool workers it
// uses) and then ends by itself.
class ThreadProcess {
public:
  ThreadProcess() = default;
  ThreadProcess(const ThreadProcess&) = delete;
  ThreadProcess& operator=(const ThreadProcess&) = delete;

  virtual ~ThreadProcess() = default;
  virtual void ResetStop() { stopRequested.store(false, std::memory_order_relaxed); }
  // The computation. parameters is the Thread's private copy of the block given to Start (or
  // nullptr); the result becomes the thread's exit code.
  virtual int32_t Run(void* parameters) = 0;
  // Asks the computation to end; returns at once.
  virtual void Stop() { stopRequested.store(true, std::memory_order_relaxed); }

  // The flag is set by one thread and polled by others with no ordering to any other data, so
  // a relaxed atomic is all it needs.
  bool StopRequested() const { return stopRequested.load(std::memory_order_relaxed); }
  // The flag itself, for work deep inside the computation that polls it on its own.
  const std::atomic<bool>& StopFlag() const { return stopRequested; }

private:
  std::atomic<bool> stopRequested{false};
};

}  // namespace ThreadingLib
