#include "renderlib/vector3.h"

#include <gtest/gtest.h>

#include "renderlib/bounding_box.h"

using namespace RenderLib;

TEST(Vector3, NormalizeLeavesShortVectorsAlone) {
  for (Vector3 shortVector : {Vector3(), Vector3(0.000005f, 0, 0)}) {
    Vector3 v = shortVector;
    EXPECT_EQ(v.Normalize(), shortVector.x);
    EXPECT_EQ(v, shortVector);
  }
  Vector3 v(3, 0, 4);
  EXPECT_FLOAT_EQ(v.Normalize(), 5.0f);
  EXPECT_EQ(v, Vector3(0.6f, 0, 0.8f));
}

TEST(BoundingBox, ExtendAndTouchingOverlap) {
  BoundingBox box;
  box.Extend({1, 2, 3});
  box.Extend({-1, 4, 3});
  EXPECT_EQ(box.min, Vector3(-1, 2, 3));
  EXPECT_FLOAT_EQ(box.SurfaceArea(), 8.0f);
  BoundingBox other;
  other.Extend({1, 0, 0});
  other.Extend({2, 2, 3});
  EXPECT_TRUE(box.Overlaps(other));  // they share only the face x = 1 (and an edge)
  EXPECT_TRUE(other.Overlaps(box));
  BoundingBox apart;
  apart.Extend({1.5f, 5, 0});
  EXPECT_FALSE(box.Overlaps(apart));
  EXPECT_FALSE(BoundingBox().Overlaps(box));
}
