#pragma once

#include <atomic>
#include <cstdint>

namespace RenderLib {

// The count shared objects carry. Atomic: a model's materials and images are shared by every
// form of the model, and a form dropped on a background thread (a sampling, an export) releases
// its handles while the window thread copies or releases others.
class ReferenceCounted {
public:
  ReferenceCounted() = default;
  ReferenceCounted(const ReferenceCounted&) {}
  ReferenceCounted& operator=(const ReferenceCounted&) { return *this; }

  int32_t ReferenceCount() const { return referenceCount.load(std::memory_order_relaxed); }

protected:
  ~ReferenceCounted() = default;

private:
  template <class T>
  friend class CountedHandle;
  std::atomic<int32_t> referenceCount{0};
};

// A counted handle to T (which derives from ReferenceCounted). A new object has count 0; the
// first handle that takes it raises it to 1 and the last one to let go destroys it.
template <class T>
class CountedHandle {
public:
  CountedHandle() = default;
  explicit CountedHandle(T* object) { Assign(object); }
  CountedHandle(const CountedHandle& other) { Assign(other.target); }
  ~CountedHandle() { Assign(nullptr); }

  CountedHandle& operator=(const CountedHandle& other) {
    Assign(other.target);
    return *this;
  }
  CountedHandle& operator=(T* object) {
    Assign(object);
    return *this;
  }

  T* Get() const { return target; }
  T* operator->() const { return target; }
  T& operator*() const { return *target; }
  explicit operator bool() const { return target != nullptr; }

private:
  // The new target is counted before the old one is released, so self-assignment is safe.
  void Assign(T* object) {
    if (object != nullptr) object->referenceCount.fetch_add(1, std::memory_order_relaxed);
    T* old = target;
    target = object;
    if (old != nullptr) Release(old);
  }

  // Out of line on purpose: inlined into callers that go on using other handles, GCC 12's
  // use-after-free analysis cannot see that the count kept the object alive and warns.
  [[gnu::noinline]] static void Release(T* object) {
    // The last release must see every write made through the other handles before it deletes.
    if (object->referenceCount.fetch_sub(1, std::memory_order_acq_rel) == 1) delete object;
  }

  T* target = nullptr;
};

}  // namespace RenderLib
