#pragma once

#include <cstddef>

namespace Platform {

// Bytes in one huge page of the memory manager.
inline constexpr std::size_t kHugePageSize = std::size_t{2} << 20;

// Asks the system to back [memory, memory + bytes) with huge pages, which saves address
// translation misses on large arrays read all over. Only a hint: where it is not granted the
// memory works the same. memory should start on a huge page boundary.
void AdviseHugePages(void* memory, std::size_t bytes);

// The same for memory on no particular boundary, such as a large vector's: only the huge pages
// lying wholly inside the range are asked for, so no neighbouring memory is touched. Fresh
// memory advised so before it is first written costs one page fault a huge page instead of
// one for every 4 KiB.
void AdviseHugePagesWithin(void* memory, std::size_t bytes);

}  // namespace Platform
