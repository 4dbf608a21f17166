#pragma once

#include <cstdint>
#include <string>

namespace PatinexCli {

// What a piece of work is about to take: new data and new threads.
struct MemoryNeed {
  uint64_t bytes = 0;
  int32_t threads = 0;
  std::string breakdown;  // "1.6 GB for the masks, 0.4 GB for up to 2000000 samples"
};

// Whether the need fits in what the process can still take (Platform::AvailableMemory): the
// data in the memory available, the data and the threads' stacks and heaps under an
// address-space limit. False, with what is needed, what is left and what limits it, otherwise.
bool FitsInMemory(const MemoryNeed& need, std::string& error);

// "1.6 GB", "350 MB", "12 kB".
std::string ByteCount(uint64_t bytes);

}  // namespace PatinexCli
