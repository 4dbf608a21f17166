#pragma once

#include <cstddef>
#include <memory>

namespace ThreadingLib {

class Task;

// A first-in first-out ring of task pointers. It grows by doubling when full and keeps its
// storage when emptied, so once a pool has seen its largest backlog, pushing allocates nothing.
// Not synchronised: the pool guards it with its own mutex.
class TaskRing {
public:
  bool Empty() const { return count == 0; }
  std::size_t Count() const { return count; }

  // Appends a task; throws std::bad_alloc if the ring cannot grow.
  void Push(Task* task) {
    if (count == capacity) Grow();
    slots[(head + count) & (capacity - 1)] = task;
    ++count;
  }

  // Removes and returns the oldest task, or nullptr when empty.
  Task* Pop() {
    if (count == 0) return nullptr;
    Task* task = slots[head];
    head = (head + 1) & (capacity - 1);
    --count;
    return task;
  }

  void Clear() {
    head = 0;
    count = 0;
  }

private:
  void Grow() {
    std::size_t grown = capacity == 0 ? 64 : capacity * 2;
    auto larger = std::make_unique<Task*[]>(grown);
    for (std::size_t i = 0; i < count; ++i) larger[i] = slots[(head + i) & (capacity - 1)];
    slots = std::move(larger);
    capacity = grown;
    head = 0;
  }

  std::unique_ptr<Task*[]> slots;
  std::size_t capacity = 0;  // always 0 or a power of two
  std::size_t head = 0;
  std::size_t count = 0;
};

}  // namespace ThreadingLib
