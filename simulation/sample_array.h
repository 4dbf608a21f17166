#pragma once

#include <cstdint>

#include "simulation/surface_sample.h"

namespace Simulation {

// A growable array of samples sized once for the worst case: Push past the capacity drops
// the sample rather than growing.
class SampleArray {
public:
  SampleArray() = default;
  SampleArray(const SampleArray&) = delete;
  SampleArray& operator=(const SampleArray&) = delete;
  SampleArray(SampleArray&& other) noexcept { Swap(other); }
  SampleArray& operator=(SampleArray&& other) noexcept {
    if (this != &other) {
      Free();
      Swap(other);
    }
    return *this;
  }
  ~SampleArray() { Free(); }

  // Capacity n, count 0, one zero-filled allocation of n + 1 records. False when the
  // allocation fails; the array is then empty.
  bool Init(uint32_t n);
  void Push(const SurfaceSample& sample) {
    if (count + 1 > capacity) return;
    items[count++] = sample;
  }
  void ShrinkToFit();
  // Appends other's records after this array's own; other is left unchanged. False, with
  // nothing changed, when the joined array cannot be allocated.
  bool Append(const SampleArray& other);
  void Free();
  void Swap(SampleArray& other) noexcept;

  // Hands the records over to the caller, who frees them with std::free; the array is left empty.
  SurfaceSample* Release(uint32_t& releasedCount);

  uint32_t Count() const { return count; }
  uint32_t Capacity() const { return capacity; }
  SurfaceSample* Items() { return items; }
  const SurfaceSample* Items() const { return items; }
  SurfaceSample& operator[](uint32_t i) { return items[i]; }
  const SurfaceSample& operator[](uint32_t i) const { return items[i]; }

private:
  uint32_t capacity = 0;
  uint32_t count = 0;
  uint32_t byteSize = 0;
  SurfaceSample* items = nullptr;
};

}  // namespace Simulation
