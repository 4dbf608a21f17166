#include "renderlib/kd_tree_axis_caster.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/support/triangle_soups.h"

namespace RenderLib {
namespace {

using TestSupport::MakeSoup;
using TestSupport::Triangle;

// Every ray of a grid (from + i * step on both axes across the rays, i = 0 .. steps), from each
// side of the bounds, cast in rows (each ray next to the last, so most reuse the path before)
// and then in a shuffled order, against the tree's own query.
void ExpectSameAsIntersect(const std::vector<Triangle>& triangles, int leafSize, float from, float step, int steps) {
  auto soup = MakeSoup(triangles);
  KdTree tree;
  tree.Build(*soup, 24, leafSize);
  const BoundingBox& box = tree.Bounds();
  std::mt19937 random(7);
  for (int axis = 0; axis < 3; ++axis) {
    for (bool up : {true, false}) {
      const float start = up ? box.min[axis] : box.max[axis];
      const float end = up ? box.max[axis] : box.min[axis];
      KdAxisCaster caster(tree, *soup, axis, start, end);
      const int a = (axis + 1) % 3, b = (axis + 2) % 3;
      std::vector<Vector3> origins;
      for (int j = 0; j <= steps; ++j) {
        for (int i = 0; i <= steps; ++i) {
          Vector3 origin;
          origin[a] = from + step * float(i);
          origin[b] = from + step * float(j);
          origin[axis] = start;
          origins.push_back(origin);
        }
      }
      std::vector<Vector3> shuffled = origins;
      std::shuffle(shuffled.begin(), shuffled.end(), random);
      origins.insert(origins.end(), shuffled.begin(), shuffled.end());
      int hits = 0;
      for (const Vector3& origin : origins) {
        Vector3 to = origin;
        to[axis] = end;
        KdHit expected, got;
        const bool expectedFound = tree.Intersect({origin, to}, *soup, expected);
        ASSERT_EQ(caster.Cast(origin, got), expectedFound) << axis << up << origin.x << " " << origin.y << " " << origin.z;
        if (!expectedFound) continue;
        ++hits;
        ASSERT_EQ(got.triangle, expected.triangle);
        ASSERT_EQ(got.distance, expected.distance);
        ASSERT_EQ(got.u, expected.u);
        ASSERT_EQ(got.v, expected.v);
      }
      EXPECT_GT(hits, static_cast<int>(origins.size()) / 10);
    }
  }
}

TEST(KdAxisCaster, GivesTheQuerysHitsForRaysAlongEachAxis) {
  // Scattered overlapping triangles: many leaves along every ray, and equally near hits.
  std::mt19937 random(3);
  std::uniform_real_distribution<float> centre(-1.0f, 1.0f), corner(-0.2f, 0.2f);
  std::vector<Triangle> scattered;
  for (int i = 0; i < 3000; ++i) {
    const Vector3 c{centre(random), centre(random), centre(random)};
    scattered.push_back({c + Vector3{corner(random), corner(random), corner(random)},
                         c + Vector3{corner(random), corner(random), corner(random)},
                         c + Vector3{corner(random), corner(random), corner(random)}});
  }
  ExpectSameAsIntersect(scattered, 16, -1.25f, 1.0f / 32.0f, 80);

  // Stacked grids of unit squares: rays run exactly along the splits, edges and vertices.
  std::vector<Triangle> stacked;
  for (int k = 0; k < 4; ++k) {
    for (int i = 0; i < 12; ++i) {
      for (int j = 0; j < 12; ++j) {
        const float z = 3.0f * float(k);
        const Vector3 p{float(i), float(j), z}, q{float(i + 1), float(j), z}, r{float(i + 1), float(j + 1), z},
            s{float(i), float(j + 1), z + 1.0f};
        stacked.push_back({p, q, r});
        stacked.push_back({p, r, s});
      }
    }
  }
  ExpectSameAsIntersect(stacked, 4, -0.5f, 0.25f, 54);
}

}  // namespace
}  // namespace RenderLib
