#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The few thread services the C++ standard library does not offer: threads with a chosen stack
// size, thread names, scheduling priority and the processor count. This is the only code that
// talks to the POSIX thread interface directly.
namespace Platform {

// Longest thread name the system keeps, in bytes, without the terminator.
inline constexpr std::size_t kMaxThreadNameBytes = 15;

// A joinable system thread running entry(argument). Not copyable; the owner must Join before
// destroying a thread that was created (the destructor joins as a last resort).
class NativeThread {
public:
  using Entry = void (*)(void* argument);

  NativeThread();
  NativeThread(const NativeThread&) = delete;
  NativeThread& operator=(const NativeThread&) = delete;
  ~NativeThread();

  // Starts the thread with stackSize bytes of stack (0: the system default; small sizes are
  // raised to the system minimum). Returns 0 on success, otherwise the system error number.
  int Create(Entry entry, void* argument, std::size_t stackSize);
  bool Created() const { return created; }
  // True when called on the thread itself.
  bool IsCurrent() const;
  // Names the thread for debuggers and the process table, cut to kMaxThreadNameBytes.
  bool SetName(const std::string& name);
  // Waits for the thread to end. Does nothing if it was never created or is already joined.
  void Join();

private:
  struct Handle;
  std::unique_ptr<Handle> handle;
  bool created = false;
};

// The name cut to what the system keeps, without splitting a UTF-8 sequence.
std::string ShortThreadName(const std::string& name);
// Names the calling thread (cut as above).
bool SetCurrentThreadName(const std::string& name);
// The calling thread's name as the system holds it.
std::string CurrentThreadName();

// Applies a relative thread priority (-2 lowest .. 2 highest) to the calling thread; see the
// cpp for how the levels map onto Linux niceness. Returns false when the system refused (raising
// priority needs privileges); the thread then keeps the priority it had.
bool SetCurrentThreadPriority(int32_t level);
// The calling thread's niceness (-20 .. 19).
int CurrentThreadNiceness();

// Number of logical processors this process may run on (at least 1).
int32_t LogicalProcessorCount();

}  // namespace Platform
