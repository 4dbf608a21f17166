#include "simulation/sample_array.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace Simulation {

bool SampleArray::Init(uint32_t n) {
  Free();
  items = static_cast<SurfaceSample*>(std::calloc(static_cast<size_t>(n) + 1, sizeof(SurfaceSample)));
  if (items == nullptr) return false;
  capacity = n;
  byteSize = static_cast<uint32_t>((static_cast<size_t>(n) + 1) * sizeof(SurfaceSample));
  return true;
}

void SampleArray::ShrinkToFit() {
  if (count == capacity) return;
  if (count == 0) {
    Free();
    return;
  }
  // realloc gives a large block's tail pages back in place instead of copying the records.
  auto* shrunk = static_cast<SurfaceSample*>(std::realloc(items, count * sizeof(SurfaceSample)));
  if (shrunk == nullptr) return;  // keeping the larger block loses nothing
  items = shrunk;
  capacity = count;
  byteSize = static_cast<uint32_t>(count * sizeof(SurfaceSample));
}

bool SampleArray::Append(const SampleArray& other) {
  if (other.count == 0) return true;
  size_t total = static_cast<size_t>(count) + other.count;
  auto* joined = static_cast<SurfaceSample*>(std::malloc((total + 1) * sizeof(SurfaceSample)));
  if (joined == nullptr) return false;
  if (count > 0) std::memcpy(joined, items, count * sizeof(SurfaceSample));
  std::memcpy(joined + count, other.items, other.count * sizeof(SurfaceSample));
  std::free(items);
  items = joined;
  count = capacity = static_cast<uint32_t>(total);
  byteSize = static_cast<uint32_t>((total + 1) * sizeof(SurfaceSample));
  return true;
}

void SampleArray::Free() {
  std::free(items);
  items = nullptr;
  capacity = count = byteSize = 0;
}

SurfaceSample* SampleArray::Release(uint32_t& releasedCount) {
  SurfaceSample* released = items;
  releasedCount = count;
  items = nullptr;
  capacity = count = byteSize = 0;
  return released;
}

}  // namespace Simulation

namespace Simulation {

void SampleArray::Swap(SampleArray& other) noexcept {
  std::swap(capacity, other.capacity);
  std::swap(count, other.count);
  std::swap(byteSize, other.byteSize);
  std::swap(items, other.items);
}

}  // namespace Simulation
