#pragma once

#include <cstdint>

namespace Platform {

// How much more memory the process can count on taking, so that a large piece of work can be
// refused at once instead of failing midway.
struct MemoryRoom {
  static constexpr uint64_t kUnlimited = UINT64_MAX;

  // Address space left under the process's limit (RLIMIT_AS, "ulimit -v") beyond what it has
  // mapped already. Thread stacks and the allocator's per-thread arenas count here too.
  uint64_t addressSpace = kUnlimited;
  // Memory the system has available (MemAvailable), or what the control group's limit leaves,
  // whichever is less.
  uint64_t physical = kUnlimited;
  // What sets `physical`: "the memory the system has available" or "the control group's memory
  // limit".
  const char* physicalLimit = "the memory the system has available";
};

MemoryRoom AvailableMemory();

}  // namespace Platform
