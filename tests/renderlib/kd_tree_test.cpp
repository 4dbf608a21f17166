#include "renderlib/kd_tree.h"
#include "renderlib/kd_tree_lanes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "renderlib/obj_model.h"
#include "renderlib/triangle_soup.h"
#include "tests/support/triangle_soups.h"

namespace RenderLib {
namespace {

using TestSupport::MakeSoup;
using TestSupport::Triangle;

// The nearest hit over all triangles, with the same two-sided test the tree uses; the first
// triangle wins a tie.
KdHit BruteForce(const std::vector<Triangle>& triangles, const Vector3& origin, const Vector3& end) {
  KdHit best;
  best.distance = std::numeric_limits<float>::max();
  Vector3 d = end - origin;
  float length = Length(d);
  if (length >= 0.00001f) d = d / length;
  for (size_t i = 0; i < triangles.size(); ++i) {
    const Vector3 e1 = triangles[i][1] - triangles[i][0], e2 = triangles[i][2] - triangles[i][0];
    const Vector3 p = Cross(d, e2);
    const float det = Dot(e1, p);
    if (det > -1.1920929e-7f && det < 1.1920929e-7f) continue;
    const float inverse = 1.0f / det;
    const Vector3 toOrigin = origin - triangles[i][0];
    const float u = Dot(toOrigin, p) * inverse;
    if (u < 0 || u > 1) continue;
    const Vector3 q = Cross(toOrigin, e1);
    const float v = Dot(d, q) * inverse;
    if (v < 0 || u + v > 1) continue;
    const float t = Dot(e2, q) * inverse;
    if (t < 0 || t > length || !(t < best.distance)) continue;
    best = {static_cast<int32_t>(i), {}, t, u, v};
  }
  return best;
}

std::vector<Triangle> RandomTriangles(std::mt19937& random, int count, float size) {
  std::uniform_real_distribution<float> position(-1.0f, 1.0f);
  std::uniform_real_distribution<float> offset(-size, size);
  std::vector<Triangle> triangles;
  for (int i = 0; i < count; ++i) {
    Vector3 centre{position(random), position(random), position(random)};
    triangles.push_back({centre + Vector3{offset(random), offset(random), offset(random)},
                         centre + Vector3{offset(random), offset(random), offset(random)},
                         centre + Vector3{offset(random), offset(random), offset(random)}});
  }
  return triangles;
}

// A closed sphere-like mesh: the triangulated surface of a cube pushed out onto the unit sphere.
std::vector<Triangle> Sphere(int divisions) {
  std::vector<Triangle> triangles;
  auto onSphere = [](Vector3 p) { return p / Length(p); };
  for (int face = 0; face < 6; ++face) {
    int axis = face % 3;
    float sign = face < 3 ? 1.0f : -1.0f;
    for (int i = 0; i < divisions; ++i) {
      for (int j = 0; j < divisions; ++j) {
        auto corner = [&](int a, int b) {
          Vector3 p;
          p[axis] = sign;
          p[(axis + 1) % 3] = -1.0f + 2.0f * a / divisions;
          p[(axis + 2) % 3] = -1.0f + 2.0f * b / divisions;
          return onSphere(p);
        };
        triangles.push_back({corner(i, j), corner(i + 1, j), corner(i + 1, j + 1)});
        triangles.push_back({corner(i, j), corner(i + 1, j + 1), corner(i, j + 1)});
      }
    }
  }
  return triangles;
}

void ExpectSameHit(const KdTree& tree, const TriangleSoup& soup, const std::vector<Triangle>& triangles,
                   const Vector3& origin, const Vector3& end) {
  KdHit expected = BruteForce(triangles, origin, end);
  KdHit hit;
  bool found = tree.Intersect({origin, end}, soup, hit);
  ASSERT_EQ(found, expected.triangle >= 0) << "ray (" << origin.x << ", " << origin.y << ", " << origin.z << ")";
  if (!found) return;
  if (hit.triangle != expected.triangle) {
    EXPECT_NEAR(hit.distance, expected.distance, 1e-5f * std::max(1.0f, expected.distance));
  } else {
    EXPECT_EQ(hit.distance, expected.distance);
    EXPECT_EQ(hit.u, expected.u);
    EXPECT_EQ(hit.v, expected.v);
  }
}

// Calls visit(leaf, box) for every leaf of the built tree with the box it covers.
template <class Visit>
void ForEachLeaf(const KdTree& tree, Visit&& visit) {
  std::vector<std::pair<const KdNode*, BoundingBox>> stack{{tree.Root(), tree.Bounds()}};
  while (!stack.empty()) {
    auto [node, box] = stack.back();
    stack.pop_back();
    if (node->IsLeaf()) {
      visit(*node, box);
      continue;
    }
    BoundingBox below = box, above = box;
    below.max[node->axis] = node->split;
    above.min[node->axis] = node->split;
    stack.push_back({&node->children[0], below});
    stack.push_back({&node->children[1], above});
  }
}

TEST(KdTree, RandomSegmentsFindTheNearestTriangle) {
  std::mt19937 random(17);
  std::uniform_real_distribution<float> position(-1.5f, 1.5f);
  for (float size : {0.05f, 0.4f}) {
    std::vector<Triangle> triangles = RandomTriangles(random, 3000, size);
    auto soup = MakeSoup(triangles);
    KdTree tree;
    tree.Build(*soup, 24, 16);
    for (int i = 0; i < 3000; ++i) {
      ExpectSameHit(tree, *soup, triangles, {position(random), position(random), position(random)},
                    {position(random), position(random), position(random)});
    }
  }
}

TEST(KdTree, FourAndEightLaneQueriesAgreeBitForBit) {
  if (!ProcessorHasAvx()) GTEST_SKIP() << "no AVX on this processor";
  std::mt19937 random(31);
  std::vector<Triangle> triangles = RandomTriangles(random, 2000, 0.3f);
  auto soup = MakeSoup(triangles);
  KdTree tree;
  tree.Build(*soup, 24, 16);
  std::uniform_real_distribution<float> position(-1.5f, 1.5f);
  for (int i = 0; i < 5000; ++i) {
    Vector3 origin{position(random), position(random), position(random)};
    Vector3 direction = Normalized(Vector3{position(random), position(random), position(random)});
    KdHit four, eight;
    four.distance = eight.distance = 3.4028235e38f;
    bool hitFour = IntersectRangedSse(tree, {origin, origin + direction * 3.0f}, direction, 0.0f, 3.0f, four);
    bool hitEight = IntersectRangedAvx(tree, {origin, origin + direction * 3.0f}, direction, 0.0f, 3.0f, eight);
    ASSERT_EQ(hitFour, hitEight);
    EXPECT_EQ(four.triangle, eight.triangle);
    EXPECT_EQ(four.distance, eight.distance);
    EXPECT_EQ(four.u, eight.u);
    EXPECT_EQ(four.v, eight.v);
  }
}

TEST(KdTree, RaysFromInsideHitTheInsideFaces) {
  std::vector<Triangle> triangles = Sphere(12);
  auto soup = MakeSoup(triangles);
  KdTree tree;
  tree.Build(*soup, 24, 16);
  std::mt19937 random(5);
  std::normal_distribution<float> normal;
  for (int i = 0; i < 500; ++i) {
    Vector3 direction = Normalized(Vector3{normal(random), normal(random), normal(random)});
    Vector3 origin = direction * -0.3f;
    KdHit hit;
    ASSERT_TRUE(tree.Intersect({origin, origin + direction * 5.0f}, *soup, hit));
    EXPECT_NEAR(Length(origin + direction * hit.distance), 1.0f, 0.02f);
    ExpectSameHit(tree, *soup, triangles, origin, origin + direction * 5.0f);
  }
}

TEST(KdTree, AxisParallelRaysThroughEdgesAndVerticesOfAGrid) {
  // A 20 x 20 grid of unit squares in the plane z = 0; rays along z through grid points hit
  // shared vertices and edges exactly.
  std::vector<Triangle> triangles;
  for (int i = 0; i < 20; ++i) {
    for (int j = 0; j < 20; ++j) {
      Vector3 a{float(i), float(j), 0}, b{float(i + 1), float(j), 0}, c{float(i + 1), float(j + 1), 0},
          d{float(i), float(j + 1), 0};
      triangles.push_back({a, b, c});
      triangles.push_back({a, c, d});
    }
  }
  auto soup = MakeSoup(triangles);
  KdTree tree;
  tree.Build(*soup, 24, 4);
  for (float x = 0.0f; x <= 20.0f; x += 0.5f) {
    for (float y = 0.0f; y <= 20.0f; y += 0.5f) {
      KdHit hit;
      ASSERT_TRUE(tree.Intersect({{x, y, 5}, {x, y, -5}}, *soup, hit)) << x << ", " << y;
      EXPECT_EQ(hit.distance, 5.0f);
      ExpectSameHit(tree, *soup, triangles, {x, y, 5}, {x, y, -5});
      ExpectSameHit(tree, *soup, triangles, {x, y, -3}, {x, y, 3});
    }
  }
  // Rays along x and y within the plane are parallel to every triangle and hit nothing.
  KdHit untouched;
  untouched.triangle = 77;
  EXPECT_FALSE(tree.Intersect({{-1, 3.5f, 0}, {30, 3.5f, 0}}, *soup, untouched));
}

TEST(KdTree, DegenerateTrianglesAndDegenerateRays) {
  std::mt19937 random(9);
  std::vector<Triangle> triangles = RandomTriangles(random, 500, 0.2f);
  for (int i = 0; i < 100; ++i) {
    Vector3 p = triangles[i][0];
    triangles.push_back({p, p, p});                              // a point
    triangles.push_back({p, p + Vector3{0.1f, 0, 0}, p + Vector3{0.2f, 0, 0}});  // a line
  }
  auto soup = MakeSoup(triangles);
  KdTree tree;
  tree.Build(*soup, 24, 16);
  std::uniform_real_distribution<float> position(-1.5f, 1.5f);
  for (int i = 0; i < 1000; ++i) {
    ExpectSameHit(tree, *soup, triangles, {position(random), position(random), position(random)},
                  {position(random), position(random), position(random)});
  }
  // origin equal to end: the direction stays zero and nothing is hit.
  KdHit hit;
  EXPECT_FALSE(tree.Intersect({triangles[0][0], triangles[0][0]}, *soup, hit));
}

TEST(KdTree, MissesAndShortSegments) {
  std::vector<Triangle> triangles = {{Vector3{0, 0, 0}, Vector3{1, 0, 0}, Vector3{0, 1, 0}}};
  auto soup = MakeSoup(triangles);
  KdTree tree;
  tree.Build(*soup, 24, 16);

  KdHit hit;
  hit.triangle = 42;
  hit.distance = 7.0f;
  EXPECT_FALSE(tree.Intersect({{5, 5, 5}, {6, 6, 6}}, *soup, hit));
  EXPECT_EQ(hit.triangle, 42);  // a ray that misses the bounds writes nothing
  EXPECT_EQ(hit.distance, 7.0f);

  EXPECT_FALSE(tree.Intersect({{0.2f, 0.2f, 2}, {0.2f, 0.2f, 0.5f}}, *soup, hit));  // ends in front
  ASSERT_TRUE(tree.Intersect({{0.2f, 0.2f, 2}, {0.2f, 0.2f, 0.0f}}, *soup, hit));   // ends on it
  EXPECT_EQ(hit.distance, 2.0f);
  ASSERT_TRUE(tree.Intersect({{0.0f, 0.5f, 1}, {0.0f, 0.5f, -1}}, *soup, hit));  // on the edge u = 0
  EXPECT_EQ(hit.u, 0.0f);
  EXPECT_EQ(hit.v, 0.5f);
}

TEST(KdTree, EqualDistancesKeepTheTriangleFoundFirst) {
  // Two copies of the same triangle: the earlier one in the list wins.
  Triangle t{Vector3{0, 0, 0}, Vector3{1, 0, 0}, Vector3{0, 1, 0}};
  auto soup = MakeSoup({t, t});
  KdTree tree;
  tree.Build(*soup, 24, 16);
  KdHit hit;
  ASSERT_TRUE(tree.Intersect({{0.2f, 0.2f, 1}, {0.2f, 0.2f, -1}}, *soup, hit));
  EXPECT_EQ(hit.triangle, 0);
}

TEST(KdTree, OneSidedSegmentTestHitsFrontFacesInUnitsOfLength) {
  // Counter-clockwise seen from +z: its normal faces +z.
  std::vector<Triangle> triangles = {{Vector3{0, 0, 0}, Vector3{2, 0, 0}, Vector3{0, 2, 0}},
                                     {Vector3{0, 0, -1}, Vector3{2, 0, -1}, Vector3{0, 2, -1}}};
  auto soup = MakeSoup(triangles);
  KdTree tree;
  tree.Build(*soup, 24, 16);
  KdRay fromAbove{{0.5f, 0.5f, 3}, {0.5f, 0.5f, -3}, 0, 0};
  KdHit hit;
  ASSERT_TRUE(tree.Intersect(fromAbove, *soup, hit));
  EXPECT_EQ(hit.triangle, 0);
  EXPECT_NEAR(hit.distance, 3.0f, 1e-5f);
  EXPECT_NEAR(hit.u, 0.25f, 1e-6f);
  EXPECT_NEAR(hit.v, 0.25f, 1e-6f);
  // From below both triangles face away.
  EXPECT_FALSE(tree.Intersect({{0.5f, 0.5f, -3}, {0.5f, 0.5f, 3}, 0, 0}, *soup, hit));
}

TEST(KdTree, SmallSoupsAndZeroDepthStayOneLeaf) {
  std::mt19937 random(3);
  auto sixteen = MakeSoup(RandomTriangles(random, 16, 0.1f));
  KdTree tree;
  tree.Build(*sixteen, 24, 16);
  ASSERT_TRUE(tree.Root()->IsLeaf());
  EXPECT_EQ(tree.Root()->triangles.size(), 16u);

  auto many = MakeSoup(RandomTriangles(random, 500, 0.1f));
  tree.Build(*many, 0, 16);
  EXPECT_TRUE(tree.Root()->IsLeaf());
  EXPECT_EQ(tree.Root()->triangles.size(), 500u);
}

TEST(KdTree, BoundsArePaddedByATenThousandthPerMilleOfTheExtent) {
  std::vector<Triangle> triangles = {{Vector3{0, 0, 0}, Vector3{10, 0, 0}, Vector3{0, 20, 5}}};
  auto soup = MakeSoup(triangles);
  KdTree tree;
  tree.Build(*soup, 24, 16);
  EXPECT_FLOAT_EQ(tree.Bounds().min.x, -10 * 0.00001f);
  EXPECT_FLOAT_EQ(tree.Bounds().max.y, 20 + 20 * 0.00001f);
  EXPECT_FLOAT_EQ(tree.Bounds().max.z, 5 + 5 * 0.00001f);
}

TEST(KdTree, EmptySpaceIsPeeledOffClustersInCorners) {
  // A cluster in one corner and a single small triangle in the opposite one: once the first
  // cut has set the far triangle apart, the cluster sits in a corner of a large, thick box, and
  // cutting off the empty region costs only the traversal. The region keeps the triangles that
  // merely touch the plane, so the peeled leaves are large and nearly empty.
  std::mt19937 random(21);
  std::vector<Triangle> triangles;
  for (Triangle t : RandomTriangles(random, 100, 0.02f)) {
    for (Vector3& p : t) p = p * 0.2f;
    triangles.push_back(t);
  }
  triangles.push_back({Vector3{9, 9, 9}, Vector3{9.01f, 9, 9}, Vector3{9, 9.01f, 9.01f}});
  auto soup = MakeSoup(triangles);
  KdTree tree;
  tree.Build(*soup, 24, 16);
  int peeledLeaves = 0;
  ForEachLeaf(tree, [&](const KdNode& leaf, const BoundingBox& box) {
    Vector3 extent = box.Extent();
    const bool thick = extent.x >= 0.1f && extent.y >= 0.1f && extent.z >= 0.1f;
    if (leaf.triangles.size() <= 1 && thick && std::max({extent.x, extent.y, extent.z}) >= 4.0f) ++peeledLeaves;
  });
  EXPECT_GE(peeledLeaves, 2);
}

TEST(KdTree, TrianglesTouchingThePlaneAreListedOnBothSides) {
  // Two clusters left and right of x = 0 and one triangle standing across the gap.
  std::mt19937 random(8);
  std::vector<Triangle> triangles;
  for (Triangle t : RandomTriangles(random, 100, 0.05f)) {
    for (Vector3& p : t) p.x = p.x * 0.2f - 3.0f;
    triangles.push_back(t);
  }
  for (Triangle t : RandomTriangles(random, 100, 0.05f)) {
    for (Vector3& p : t) p.x = p.x * 0.2f + 3.0f;
    triangles.push_back(t);
  }
  triangles.push_back({Vector3{-3, 0, 0}, Vector3{3, 0, 0}, Vector3{0, 0.5f, 0}});
  auto soup = MakeSoup(triangles);
  KdTree tree;
  tree.Build(*soup, 24, 16);
  // Collect the leaves that list the spanning triangle: there must be leaves on both sides of x = 0.
  bool left = false, right = false;
  ForEachLeaf(tree, [&](const KdNode& leaf, const BoundingBox& box) {
    for (int32_t t : leaf.triangles) {
      if (t != 200) continue;
      left = left || box.min.x < 0.0f;
      right = right || box.max.x > 0.0f;
    }
  });
  EXPECT_TRUE(left && right);
}

TEST(KdTree, FlatSoupIsNeverCutAcrossItsPlane) {
  std::mt19937 random(2);
  std::vector<Triangle> triangles = RandomTriangles(random, 400, 0.1f);
  for (Triangle& t : triangles) {
    for (Vector3& p : t) p.y = 0.25f;
  }
  auto soup = MakeSoup(triangles);
  KdTree tree;
  tree.Build(*soup, 24, 16);
  ASSERT_FALSE(tree.Root()->IsLeaf());
  EXPECT_NE(tree.Root()->axis, 1);
}

TEST(KdTree, LargeTopNodesSplitAtTheMedianCentroid) {
  std::mt19937 random(12);
  std::vector<Triangle> triangles = RandomTriangles(random, 5000, 0.01f);
  for (Triangle& t : triangles) {
    for (Vector3& p : t) p.x *= 4.0f;  // x is by far the cheapest axis to cut
  }
  auto soup = MakeSoup(triangles);
  KdTree tree;
  tree.Build(*soup, 24, 16);
  std::vector<float> centroids;
  for (const Triangle& t : triangles) centroids.push_back((t[0].x + t[1].x + t[2].x) * 0.33333334f);
  std::sort(centroids.begin(), centroids.end());
  ASSERT_EQ(tree.Root()->axis, 0);
  EXPECT_EQ(tree.Root()->split, centroids[2499] + (centroids[2500] - centroids[2499]) * 0.5f);
}

TEST(KdTree, DeepBuildsStayWithinTheTraversalStackAndTreesAreIndependent) {
  std::mt19937 random(4);
  std::vector<Triangle> triangles = RandomTriangles(random, 4000, 0.3f);
  auto soup = MakeSoup(triangles);
  auto deep = std::make_unique<KdTree>();
  deep->Build(*soup, 100000, 1);
  KdTree shallow;
  shallow.Build(*soup, 24, 16);
  std::uniform_real_distribution<float> position(-1.5f, 1.5f);
  for (int i = 0; i < 300; ++i) {
    Vector3 a{position(random), position(random), position(random)}, b{position(random), position(random), position(random)};
    ExpectSameHit(*deep, *soup, triangles, a, b);
  }
  deep.reset();
  for (int i = 0; i < 300; ++i) {
    Vector3 a{position(random), position(random), position(random)}, b{position(random), position(random), position(random)};
    ExpectSameHit(shallow, *soup, triangles, a, b);
  }
}

}  // namespace
}  // namespace RenderLib
