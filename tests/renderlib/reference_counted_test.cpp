#include "renderlib/reference_counted.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "renderlib/material.h"
#include "renderlib/ref_counted_image.h"

namespace {

std::atomic<int> destroyed{0};

struct Counted : RenderLib::ReferenceCounted {
  ~Counted() { ++destroyed; }
};

using CountedPointer = RenderLib::CountedHandle<Counted>;

}  // namespace

TEST(CountedHandle, CountsHandlesAndDestroysWithTheLast) {
  destroyed = 0;
  Counted* object = new Counted();
  EXPECT_EQ(object->ReferenceCount(), 0);
  {
    CountedPointer first(object);
    EXPECT_EQ(object->ReferenceCount(), 1);
    CountedPointer second = first;
    EXPECT_EQ(object->ReferenceCount(), 2);
    first = first;  // self-assignment keeps the object alive
    second = nullptr;
    EXPECT_EQ(object->ReferenceCount(), 1);
  }
  EXPECT_EQ(destroyed, 1);

  CountedPointer handle(new Counted());
  handle = new Counted();  // releases the old one
  EXPECT_EQ(destroyed, 2);
}

TEST(CountedHandle, MaterialReleasesItsImages) {
  RenderLib::ImageHandle image(new RenderLib::RefCountedImage());
  {
    RenderLib::MaterialHandle material(new RenderLib::Material());
    material->diffuseMap = image;
    material->extraMap = image;
    EXPECT_EQ(image->ReferenceCount(), 3);
    // A copied material starts its own count instead of taking the source's.
    RenderLib::Material copy = *material;
    EXPECT_EQ(copy.ReferenceCount(), 0);
    EXPECT_EQ(image->ReferenceCount(), 5);
  }
  EXPECT_EQ(image->ReferenceCount(), 1);
}

// A model's forms share its materials across threads: copies and releases made at the same
// moment on several threads must neither lose a count nor free the object early.
TEST(CountedHandle, CountsHandlesCopiedAndReleasedOnSeveralThreads) {
  destroyed = 0;
  CountedPointer shared(new Counted());
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&shared, &go] {
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < 5000000; ++i) {
        CountedPointer copy = shared;
        // Keeps the compiler from folding the copy's count up and down into nothing.
        asm volatile("" : : "r"(&copy) : "memory");
      }
    });
  }
  go = true;
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(shared->ReferenceCount(), 1);
  EXPECT_EQ(destroyed, 0);
  shared = nullptr;
  EXPECT_EQ(destroyed, 1);
}
