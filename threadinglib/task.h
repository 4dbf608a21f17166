#pragma once

#include <cstdint>

namespace ThreadingLib {

class ThreadPool;

// One unit of work for a ThreadPool. Tasks are plain records owned by whoever made them (the
// simulation places them in an arena); the pool only keeps pointers to them and never creates,
// copies or deletes one. A task may be submitted again from inside its own Run, and each
// submission is one more run.
class Task {
public:
  explicit Task(ThreadPool* owningPool) : pool(owningPool) {}
  Task(const Task&) = default;
  Task& operator=(const Task&) = default;

  // The work of one run; context is what Prepare returned just before.
  virtual void Run(uint32_t context) = 0;
  // Called on the worker right before Run.
  virtual uint32_t Prepare() = 0;
  virtual ~Task() = default;

  // The pool on whose workers this task runs.
  ThreadPool* Pool() const { return pool; }

private:
  ThreadPool* pool;
};

}  // namespace ThreadingLib
