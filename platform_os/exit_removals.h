#pragma once

#include <cstdint>

// Files that must not outlive a process ended by a signal: unfinished temporaries and the lock
// of an output folder. Their paths are kept in a fixed table the signal handler can walk, since
// a handler may neither allocate nor take a lock.
namespace Platform {

// Adds path to the table; returns its slot, or -1 when the path is too long or the table full.
// The entry is live before the file it names is made, so there is no moment a signal could
// leave the file behind unnoticed.
int32_t AddExitRemoval(const char* path);

// Takes a slot out of the table (after the file was removed or renamed); -1 is ignored.
void DropExitRemoval(int32_t slot);

// Removes every file in the table. Safe to call from a signal handler: it only reads the table
// and calls unlink.
void RemoveExitRemovals();

// How many paths the table holds at once.
inline constexpr int32_t kMaxExitRemovals = 32;

}  // namespace Platform
