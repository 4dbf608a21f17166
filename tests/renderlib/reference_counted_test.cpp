#include "renderlib/reference_counted.h"

#include <gtest/gtest.h>

#include "renderlib/material.h"
#include "renderlib/ref_counted_image.h"

namespace {

int destroyed = 0;

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
