#include "platform_os/exit_removals.h"

#include <limits.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace Platform {
namespace {

enum SlotState : int { kFree, kFilling, kLive };

struct Removal {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the states");

Removal removals[kMaxExitRemovals];

}  // namespace

int32_t AddExitRemoval(const char* path) {
  const size_t length = path != nullptr ? std::strlen(path) : PATH_MAX;
  if (length >= PATH_MAX) return -1;
  for (int32_t slot = 0; slot < kMaxExitRemovals; ++slot) {
    int expected = kFree;
    if (!removals[slot].state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) continue;
    std::memcpy(removals[slot].path, path, length + 1);
    removals[slot].state.store(kLive, std::memory_order_release);
    return slot;
  }
  return -1;
}

void DropExitRemoval(int32_t slot) {
  if (slot < 0 || slot >= kMaxExitRemovals) return;
  removals[slot].state.store(kFree, std::memory_order_release);
}

void RemoveExitRemovals() {
  for (Removal& removal : removals) {
    if (removal.state.load(std::memory_order_acquire) == kLive) ::unlink(removal.path);
  }
}

}  // namespace Platform
