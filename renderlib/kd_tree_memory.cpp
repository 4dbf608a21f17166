#include "renderlib/kd_tree_memory.h"

#include <algorithm>

#include "platform_os/huge_pages.h"

namespace RenderLib {

namespace {
constexpr std::size_t kHugePage = Platform::kHugePageSize;
// Below this an array sits in cache or in few pages anyway.
constexpr std::size_t kHugeThreshold = std::size_t{1} << 20;
}  // namespace

void* AllocateTraversalMemory(std::size_t bytes, std::size_t alignment) {
  alignment = std::max(alignment, alignof(std::max_align_t));
  if (bytes >= kHugeThreshold) {
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    if (void* memory = std::aligned_alloc(kHugePage, rounded)) return memory;
  }
  const std::size_t rounded = (std::max<std::size_t>(bytes, 1) + alignment - 1) / alignment * alignment;
  if (void* memory = std::aligned_alloc(alignment, rounded)) return memory;
  throw std::bad_alloc();
}

void FreeTraversalMemory(void* memory) { std::free(memory); }

void AdviseFilledTraversalMemory(void* memory, std::size_t bytes) {
  // The same rule as the allocation, so the range is the whole 2 MiB-aligned block it got.
  if (memory == nullptr || bytes < kHugeThreshold) return;
  // Only a hint: without huge pages the memory works the same.
  Platform::AdviseHugePages(memory, (bytes + kHugePage - 1) / kHugePage * kHugePage);
}

}  // namespace RenderLib
