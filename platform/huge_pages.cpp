#include "platform/huge_pages.h"

#include <sys/mman.h>

namespace Platform {

void AdviseHugePages(void* memory, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  madvise(memory, bytes, MADV_HUGEPAGE);
#else
  (void)memory;
  (void)bytes;
#endif
}

}  // namespace Platform
