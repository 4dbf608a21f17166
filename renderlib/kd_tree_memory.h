#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

namespace RenderLib {

// Allocates the kd-tree's traversal arrays. Large arrays are placed on 2 MiB boundaries and
// the kernel is asked to back them with huge pages: a query jumps across the whole array, and
// with 4 KiB pages nearly every leaf it reaches costs a miss in the address translation cache
// on large meshes. Small arrays and failed requests fall back to ordinary allocations.
void* AllocateTraversalMemory(std::size_t bytes, std::size_t alignment);
void FreeTraversalMemory(void* memory);

template <class T>
struct TraversalAllocator {
  using value_type = T;
  TraversalAllocator() = default;
  template <class U>
  TraversalAllocator(const TraversalAllocator<U>&) {}
  T* allocate(std::size_t count) { return static_cast<T*>(AllocateTraversalMemory(count * sizeof(T), alignof(T))); }
  void deallocate(T* memory, std::size_t) { FreeTraversalMemory(memory); }
  template <class U>
  bool operator==(const TraversalAllocator<U>&) const {
    return true;
  }
};

}  // namespace RenderLib
