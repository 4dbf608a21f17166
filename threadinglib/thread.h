#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform_os/thread_platform.h"
#include "threadinglib/thread_process.h"

namespace ThreadingLib {

// A named system thread that runs a ThreadProcess once. The thread is created at construction
// and waits for Start; Start hands the process a private copy of a parameter block and lets it
// run. Deleting a Thread whose process still runs asks the process to stop and waits for the
// thread to end, so the thread never outlives the object it reports to.
class Thread {
public:
  // priorityLevel: 0 lowest, 1 below normal, 2 normal, 3 above normal, 4 highest; any other
  // value means normal. stackSize is in bytes, 0 for the system default. The name is cut to the
  // system's 15 bytes where the system shows it.
  Thread(const char* name, ThreadProcess* process, int32_t priorityLevel, std::size_t stackSize);
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  // Asks a running process to stop and waits for its Run to return (a process that never polls
  // its stop flag keeps this waiting). Must not be called from the thread itself.
  ~Thread();

  // Copies size bytes of parameters (none if parameters is nullptr), clears the process's stop
  // flag and lets the thread run the process. Returns false and changes nothing if there is no
  // process, the thread could not be created, it was started before, or the copy cannot be made.
  bool Start(const void* parameters, std::size_t size);
  // Asks the process to stop; does not wait.
  void Stop();
  // Blocks until the run that Start began has ended; returns at once if it never started.
  void Wait();

  // True from a successful Start until the process's Run has returned.
  bool IsRunning() const;
  // The result of the process's Run once it has returned; 0 before.
  int32_t ExitCode() const;
  const std::string& Name() const { return name; }

  // Relative thread priority (-2 .. 2) of a priority level.
  static int32_t PriorityOfLevel(int32_t level);

private:
  enum class Phase { Waiting, Running, Finished, Abandoned };

  static void Entry(void* argument);

  std::string name;
  ThreadProcess* process;
  std::unique_ptr<std::byte[]> parameterCopy;
  int32_t priorityLevel;
  Platform::NativeThread thread;

  mutable std::mutex mutex;
  std::condition_variable phaseChanged;
  Phase phase = Phase::Waiting;
  int32_t exitCode = 0;
};

}  // namespace ThreadingLib
