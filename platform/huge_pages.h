#pragma once

#include <cstddef>

namespace Platform {

// Bytes in one huge page of the memory manager.
inline constexpr std::size_t kHugePageSize = std::size_t{2} << 20;

// Asks the system to back [memory, memory + bytes) with huge pages, which saves address
// translation misses on large arrays read all over. Only a hint: where it is not granted the
// memory works the same. memory should start on a huge page boundary.
void AdviseHugePages(void* memory, std::size_t bytes);

}  // namespace Platform
