#include "platform_os/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace Platform {

void AdviseHugePages(void* memory, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  madvise(memory, bytes, MADV_HUGEPAGE);
#else
  (void)memory;
  (void)bytes;
#endif
}

void AdviseHugePagesWithin(void* memory, std::size_t bytes) {
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(memory);
  const std::uintptr_t first = (start + kHugePageSize - 1) / kHugePageSize * kHugePageSize;
  const std::uintptr_t end = (start + bytes) / kHugePageSize * kHugePageSize;
  if (first < end) AdviseHugePages(reinterpret_cast<void*>(first), end - first);
}

}  // namespace Platform
