#include "threadinglib/thread.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace ThreadingLib {

Thread::Thread(const char* threadName, ThreadProcess* threadProcess, int32_t level,
               std::size_t stackSize)
    : name(threadName != nullptr ? threadName : ""), process(threadProcess), priorityLevel(level) {
  int error = thread.Create(&Thread::Entry, this, stackSize);
  if (error != 0) {
    std::fprintf(stderr, "Thread \"%s\": cannot create the system thread: %s\n", name.c_str(),
                 std::strerror(error));
    return;
  }
  // Named from here as well as from the thread itself, so the name shows as soon as the
  // constructor returns.
  thread.SetName(name);
}

Thread::~Thread() {
  if (!thread.Created()) return;
  if (thread.IsCurrent()) {
    std::fprintf(stderr, "Thread \"%s\": deleted from its own thread\n", name.c_str());
    std::abort();
  }
  bool stopProcess = false;
  {
    std::lock_guard lock(mutex);
    if (phase == Phase::Waiting) {
      phase = Phase::Abandoned;
      phaseChanged.notify_all();
    } else if (phase == Phase::Running) {
      stopProcess = true;
    }
  }
  if (stopProcess) process->Stop();
  thread.Join();
}

int32_t Thread::PriorityOfLevel(int32_t level) {
  return level >= 0 && level <= 4 ? level - 2 : 0;
}

bool Thread::Start(const void* parameters, std::size_t size) {
  if (process == nullptr || !thread.Created()) return false;
  std::lock_guard lock(mutex);
  if (phase != Phase::Waiting) return false;
  if (parameters != nullptr) {
    std::unique_ptr<std::byte[]> copy(new (std::nothrow) std::byte[size]);
    if (copy == nullptr) {
      std::fprintf(stderr, "Thread \"%s\": no memory for %zu bytes of parameters\n", name.c_str(),
                   size);
      return false;
    }
    if (size != 0) std::memcpy(copy.get(), parameters, size);
    parameterCopy = std::move(copy);
  }
  process->ResetStop();
  // Marked running before the thread is released, so a run that ends at once cannot have its
  // end overwritten by this call.
  phase = Phase::Running;
  phaseChanged.notify_all();
  return true;
}

void Thread::Stop() {
  if (process != nullptr) process->Stop();
}

void Thread::Wait() {
  std::unique_lock lock(mutex);
  phaseChanged.wait(lock, [this] { return phase != Phase::Running; });
}

bool Thread::IsRunning() const {
  std::lock_guard lock(mutex);
  return phase == Phase::Running;
}

int32_t Thread::ExitCode() const {
  std::lock_guard lock(mutex);
  return exitCode;
}

void Thread::Entry(void* argument) {
  auto* self = static_cast<Thread*>(argument);
  Platform::SetCurrentThreadName(self->name);
  Platform::SetCurrentThreadPriority(PriorityOfLevel(self->priorityLevel));
  std::unique_lock lock(self->mutex);
  self->phaseChanged.wait(lock, [self] { return self->phase != Phase::Waiting; });
  if (self->phase == Phase::Abandoned) return;
  void* parameters = self->parameterCopy.get();
  lock.unlock();
  int32_t result = self->process->Run(parameters);
  lock.lock();
  self->exitCode = result;
  self->phase = Phase::Finished;
  self->phaseChanged.notify_all();
}

}  // namespace ThreadingLib
