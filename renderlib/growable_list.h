#pragma once

#include <cstdint>
#include <utility>

namespace RenderLib {

// The library's growable array. It grows in whole multiples of its granularity rather than
// geometrically, so a caller that knows its sizes (model groups use 8192) controls reallocation.
template <class T>
class GrowableList {
public:
  GrowableList() = default;
  explicit GrowableList(int32_t granularityValue) : granularity(ValidGranularity(granularityValue)) {}
  GrowableList(const GrowableList& other) { *this = other; }
  GrowableList(GrowableList&& other) noexcept { Swap(other); }
  ~GrowableList() { delete[] items; }

  GrowableList& operator=(const GrowableList& other) {
    if (this == &other) return *this;
    delete[] items;
    items = nullptr;
    count = other.count;
    capacity = other.capacity;
    granularity = other.granularity;
    if (capacity > 0) {
      items = new T[capacity]();
      for (int32_t i = 0; i < count; ++i) items[i] = other.items[i];
    }
    return *this;
  }
  GrowableList& operator=(GrowableList&& other) noexcept {
    if (this != &other) {
      GrowableList empty(other.granularity);
      Swap(empty);
      Swap(other);
    }
    return *this;
  }

  int32_t Append(const T& value) {
    if (items == nullptr || count == capacity) {
      // value may be one of our own elements, which the resize frees: copy it first.
      T copy = value;
      Resize(items == nullptr ? granularity : (capacity + granularity) / granularity * granularity);
      items[count] = std::move(copy);
    } else {
      items[count] = value;
    }
    return count++;
  }

  void Resize(int32_t n) {
    if (n <= 0) {
      delete[] items;
      items = nullptr;
      count = capacity = 0;
      return;
    }
    if (n == capacity) return;
    T* grown = new T[n]();
    if (count > n) count = n;
    for (int32_t i = 0; i < count; ++i) grown[i] = std::move(items[i]);
    delete[] items;
    items = grown;
    capacity = n;
  }

  // A negative count is taken as 0.
  void SetCount(int32_t n) {
    if (n < 0) n = 0;
    if (capacity < n) Resize(RoundUp(n, granularity));
    count = n;
  }

  // A granularity below 1 is taken as 1.
  void SetGranularity(int32_t g) {
    granularity = ValidGranularity(g);
    if (items != nullptr) {
      int32_t wanted = RoundUp(count, granularity);
      if (wanted != capacity) Resize(wanted);
    }
  }

  void Clear() {
    delete[] items;
    items = nullptr;
    count = capacity = 0;
  }

  // Removes element i by moving the last one into its place; order is not kept.
  void RemoveFast(int32_t i) {
    if (i < 0 || i >= count) return;
    --count;
    if (i != count) items[i] = std::move(items[count]);
  }

  void Swap(GrowableList& other) noexcept {
    std::swap(items, other.items);
    std::swap(count, other.count);
    std::swap(capacity, other.capacity);
    std::swap(granularity, other.granularity);
  }

  T& operator[](int32_t i) { return items[i]; }
  const T& operator[](int32_t i) const { return items[i]; }
  T* Items() { return items; }
  const T* Items() const { return items; }
  int32_t Count() const { return count; }
  int32_t Capacity() const { return capacity; }
  int32_t Granularity() const { return granularity; }

  T* begin() { return items; }
  T* end() { return items + count; }
  const T* begin() const { return items; }
  const T* end() const { return items + count; }

private:
  static int32_t ValidGranularity(int32_t g) { return g < 1 ? 1 : g; }

  // n rounded up to a multiple of g, kept within the signed 32-bit range.
  static int32_t RoundUp(int32_t n, int32_t g) {
    int64_t rounded = (int64_t{n} + g - 1) / g * g;
    return rounded > INT32_MAX ? INT32_MAX : static_cast<int32_t>(rounded);
  }

  T* items = nullptr;
  int32_t count = 0;
  int32_t capacity = 0;
  int32_t granularity = 16;
};

}  // namespace RenderLib
