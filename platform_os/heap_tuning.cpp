#include "platform_os/heap_tuning.h"

#include <malloc.h>

#include <cstdio>

namespace Platform {
namespace {

// The heap keeps up to this much free memory, and blocks up to the second figure come from it
// rather than from their own mappings.
constexpr int kKeptFreeHeapBytes = 64 << 20;
constexpr int kLargestHeapBlockBytes = 4 << 20;

}  // namespace

void KeepFreedHeapMemory() {
  static const bool done = [] {
    if (mallopt(M_TRIM_THRESHOLD, kKeptFreeHeapBytes) != 1 || mallopt(M_MMAP_THRESHOLD, kLargestHeapBlockBytes) != 1) {
      std::fprintf(stderr, "The allocator refused to keep freed memory; drawing may page-fault every frame\n");
    }
    return true;
  }();
  (void)done;
}

}  // namespace Platform
