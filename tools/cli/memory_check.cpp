#include "tools/cli/memory_check.h"

#include <cstdio>

#include "platform_os/memory_room.h"

namespace PatinexCli {
namespace {

// Address space a new thread reserves: its stack, and a share of a heap arena of its own.
constexpr uint64_t kThreadAddressSpace = uint64_t(24) << 20;
// What the allocator and the libraries map beyond the data asked for.
constexpr uint64_t kAddressSpaceSlack = uint64_t(64) << 20;

}  // namespace

std::string ByteCount(uint64_t bytes) {
  char text[32];
  if (bytes >= 1000000000) {
    std::snprintf(text, sizeof text, "%.1f GB", double(bytes) / 1e9);
  } else if (bytes >= 1000000) {
    std::snprintf(text, sizeof text, "%.0f MB", double(bytes) / 1e6);
  } else {
    std::snprintf(text, sizeof text, "%.0f kB", double(bytes) / 1e3);
  }
  return text;
}

bool FitsInMemory(const MemoryNeed& need, std::string& error) {
  const Platform::MemoryRoom room = Platform::AvailableMemory();
  const uint64_t addressSpace = need.bytes + uint64_t(need.threads) * kThreadAddressSpace + kAddressSpaceSlack;
  if (room.addressSpace != Platform::MemoryRoom::kUnlimited && addressSpace > room.addressSpace) {
    error = "not enough memory: this needs about " + ByteCount(addressSpace) + " of address space (" +
            need.breakdown + ", and the stacks and heaps of " + std::to_string(need.threads) +
            " threads), but the address-space limit (ulimit -v) leaves " + ByteCount(room.addressSpace);
    return false;
  }
  if (room.physical != Platform::MemoryRoom::kUnlimited && need.bytes > room.physical) {
    error = "not enough memory: this needs about " + ByteCount(need.bytes) + " (" + need.breakdown + "), but " +
            room.physicalLimit + " leaves " + ByteCount(room.physical);
    return false;
  }
  return true;
}

}  // namespace PatinexCli
