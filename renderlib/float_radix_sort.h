#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace RenderLib {

// The bits of a float (not a NaN) turned into an unsigned number that orders the same way:
// negative numbers have all bits flipped, positive ones only the sign bit. -0 comes just
// before +0.
inline uint32_t OrderedBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
}

// Sorts items[0, count) ascending by the float key(item) (no NaNs), in three stable passes of
// 11, 11 and 10 bits. scratch must hold count items. Short lists go to std::sort, where the
// passes over the bins would cost more than they save.
template <class T, class Key>
void SortByFloatKey(T* items, T* scratch, size_t count, Key key) {
  if (count < 512) {
    std::sort(items, items + count, [&key](const T& a, const T& b) { return key(a) < key(b); });
    return;
  }
  constexpr int kPasses = 3;
  constexpr int kBits = 11;
  constexpr uint32_t kBins = 1u << kBits;
  uint32_t offsets[kPasses][kBins] = {};
  for (size_t i = 0; i < count; ++i) {
    const uint32_t bits = OrderedBits(key(items[i]));
    for (int pass = 0; pass < kPasses; ++pass) ++offsets[pass][(bits >> (pass * kBits)) & (kBins - 1)];
  }
  for (auto& bins : offsets) {
    uint32_t sum = 0;
    for (uint32_t& bin : bins) sum += std::exchange(bin, sum);
  }
  T* from = items;
  T* to = scratch;
  for (int pass = 0; pass < kPasses; ++pass) {
    for (size_t i = 0; i < count; ++i) {
      const uint32_t bin = (OrderedBits(key(from[i])) >> (pass * kBits)) & (kBins - 1);
      to[offsets[pass][bin]++] = from[i];
    }
    std::swap(from, to);
  }
  // An odd number of passes leaves the result in scratch.
  std::copy(from, from + count, items);
}

}  // namespace RenderLib
