#include "renderlib/vector3.h"

#include <gtest/gtest.h>

#include <random>

#include "renderlib/bounding_box.h"
#include "renderlib/triangle_soup.h"

using namespace RenderLib;

TEST(Vector3, NormalizeLeavesShortVectorsAlone) {
  Vector3 zero;
  EXPECT_EQ(zero.Normalize(), 0.0f);
  EXPECT_EQ(zero, Vector3());
  Vector3 tiny(0.000005f, 0, 0);
  EXPECT_FLOAT_EQ(tiny.Normalize(), 0.000005f);
  EXPECT_EQ(tiny, Vector3(0.000005f, 0, 0));
  Vector3 v(3, 0, 4);
  EXPECT_FLOAT_EQ(v.Normalize(), 5.0f);
  EXPECT_FLOAT_EQ(v.x, 0.6f);
  EXPECT_FLOAT_EQ(v.z, 0.8f);
}

TEST(Vector3, CrossIsPerpendicularAndGivesTheArea) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> coordinate(-10, 10);
  for (int i = 0; i < 100; ++i) {
    Vector3 a(coordinate(random), coordinate(random), coordinate(random));
    Vector3 b(coordinate(random), coordinate(random), coordinate(random));
    Vector3 c(coordinate(random), coordinate(random), coordinate(random));
    Vector3 n = Cross(b - a, c - a);
    EXPECT_NEAR(Dot(n, b - a), 0.0f, 1e-3f * Length(n));
    // Heron's formula as the independent answer for the area.
    double ab = Length(b - a), bc = Length(c - b), ca = Length(a - c), s = (ab + bc + ca) / 2;
    double area = std::sqrt(std::max(0.0, s * (s - ab) * (s - bc) * (s - ca)));
    EXPECT_NEAR(TriangleArea(NormalizedCross(b - a, c - a), a, b, c), area, 1e-2 + 1e-3 * area);
    EXPECT_NEAR(TriangleArea(-NormalizedCross(b - a, c - a), a, b, c), -area, 1e-2 + 1e-3 * area);
  }
}

TEST(BoundingBox, ExtendSurfaceAreaAndTouchingOverlap) {
  BoundingBox box;
  box.Extend({1, 2, 3});
  EXPECT_EQ(box.min, Vector3(1, 2, 3));
  EXPECT_EQ(box.max, Vector3(1, 2, 3));
  box.Extend({-1, 4, 3});
  EXPECT_EQ(box.Extent(), Vector3(2, 2, 0));
  EXPECT_FLOAT_EQ(box.SurfaceArea(), 8.0f);

  BoundingBox other;
  other.Extend({1, 0, 0});
  other.Extend({2, 2, 3});
  EXPECT_TRUE(box.Overlaps(other));  // they share the face x = 1
  EXPECT_TRUE(other.Overlaps(box));
  BoundingBox apart;
  apart.Extend({1.5f, 5, 0});
  EXPECT_FALSE(box.Overlaps(apart));
  EXPECT_FALSE(BoundingBox().Overlaps(box));
}
