#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "bench/reference_kd_tree_build.h"
#include "renderlib/kd_tree.h"
#include "tests/support/triangle_soups.h"

namespace RenderLib {
namespace {

using TestSupport::MakeSoup;
using TestSupport::Triangle;

// Soups that stress the sweep's edge cases: ends shared by many triangles, ends closer together
// than the sweep's step, triangles lying flat in axis planes, exact duplicates, a dense cluster
// in a corner of a large box, and enough triangles for median splits near the root.
std::vector<Triangle> AwkwardSoup(unsigned seed, int count) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::uniform_int_distribution<int> grid(-20, 20);
  std::vector<Triangle> triangles;
  while (static_cast<int>(triangles.size()) < count) {
    Vector3 p{unit(random), unit(random), unit(random)};
    Vector3 a{unit(random), unit(random), unit(random)}, b{unit(random), unit(random), unit(random)};
    Triangle t{p, p + a * 0.05f, p + b * 0.05f};
    switch (triangles.size() % 6) {
      case 0:  // on a coarse grid: many equal ends
        for (Vector3& v : t) v = Vector3{grid(random) * 0.05f, grid(random) * 0.05f, grid(random) * 0.05f};
        break;
      case 1:  // flat in a plane of the grid, thinner than the flat width, or exactly that wide
        for (int corner = 0; corner < 3; ++corner) {
          const float widths[3] = {0.0f, p.x * 0.0001f, corner == 1 ? 0.001f : 0.0f};
          t[static_cast<size_t>(corner)][triangles.size() % 5 % 3] = 0.25f * static_cast<float>(triangles.size() % 4 == 1) +
                                                                      widths[triangles.size() % 7 % 3];
        }
        break;
      case 2:  // ends a few millionths apart
        for (Vector3& v : t) v = Vector3{0.3f + grid(random) * 0.000003f, v.y, v.z};
        break;
      case 3:  // a cluster in a corner
        for (Vector3& v : t) v = Vector3{0.95f, 0.95f, 0.95f} + v * 0.02f;
        break;
      case 4:  // a duplicate of an earlier triangle
        t = triangles[static_cast<size_t>(random() % triangles.size())];
        break;
      default:
        break;
    }
    triangles.push_back(t);
  }
  triangles.push_back({Vector3{40, 40, 40}, Vector3{40.5f, 40, 40}, Vector3{40, 40.5f, 40.2f}});
  return triangles;
}

void ExpectSameAsReference(const TriangleSoup& soup, int32_t maxDepth, int32_t leafSize) {
  ReferenceKdTree::Tree reference;
  ReferenceKdTree::Build(reference, soup, maxDepth, leafSize);
  KdTree tree;
  tree.Build(soup, maxDepth, leafSize);
  EXPECT_EQ(ReferenceKdTree::FirstDifference(reference, tree), "")
      << soup.GetIndexCount() / 3 << " triangles, depth " << maxDepth << ", leaf size " << leafSize;
}

TEST(KdTreeBuild, MakesTheSameTreeAsTheReferenceBuildNodeForNode) {
  for (unsigned seed : {1u, 2u}) {
    auto small = MakeSoup(AwkwardSoup(seed, 3000));
    ExpectSameAsReference(*small, 24, 16);
    ExpectSameAsReference(*small, 100, 1);
  }
  // Large enough for median splits near the root, then sweeps below them.
  auto large = MakeSoup(AwkwardSoup(3, 20000));
  ExpectSameAsReference(*large, 24, 16);
  ExpectSameAsReference(*large, 8, 4);
}

}  // namespace
}  // namespace RenderLib
