#include "renderlib/texel_triangle.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <random>
#include <utility>

namespace RenderLib {
namespace {

using Visits = std::map<std::pair<int64_t, int64_t>, int>;

Visits Walk(const TexelTriangle& t, TriangleEdges edges, const TexelWindow& window = TexelWindow()) {
  Visits visits;
  ForEachTexelIn(t, edges, window, [&](int64_t px, int64_t py, float w0, float w1, float w2) {
    ++visits[{px, py}];
    // The weights put the texel's centre back together.
    EXPECT_NEAR(w0 * t.x[0] + w1 * t.x[1] + w2 * t.x[2], px + 0.5, 1e-3);
    EXPECT_NEAR(w0 * t.y[0] + w1 * t.y[1] + w2 * t.y[2], py + 0.5, 1e-3);
  });
  return visits;
}

TEST(TexelTriangle, VisitsTheTexelsWhoseCentresLieInsideAsAnExactTestSays) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> corner(-4.0f, 36.0f);
  for (int trial = 0; trial < 200; ++trial) {
    const TexelTriangle t{{corner(random), corner(random), corner(random)},
                          {corner(random), corner(random), corner(random)}};
    for (TriangleEdges edges : {TriangleEdges::kIncluded, TriangleEdges::kExcluded}) {
      const Visits visits = Walk(t, edges);
      for (int64_t py = -6; py < 40; ++py) {
        for (int64_t px = -6; px < 40; ++px) {
          // Signed areas in double, clear of rounding away from the edges.
          const double cx = px + 0.5, cy = py + 0.5;
          auto side = [&](int a, int b) {
            return (double(t.x[b]) - t.x[a]) * (cy - t.y[a]) - (double(t.y[b]) - t.y[a]) * (cx - t.x[a]);
          };
          const double s0 = side(0, 1), s1 = side(1, 2), s2 = side(2, 0);
          const bool inside = (s0 > 1e-3 && s1 > 1e-3 && s2 > 1e-3) || (s0 < -1e-3 && s1 < -1e-3 && s2 < -1e-3);
          const bool outside = (s0 < -1e-3 || s1 < -1e-3 || s2 < -1e-3) && (s0 > 1e-3 || s1 > 1e-3 || s2 > 1e-3);
          const bool visited = visits.count({px, py}) != 0;
          if (inside || outside) {
            EXPECT_EQ(visited, inside) << "trial " << trial << " texel " << px << "," << py;
          }
        }
      }
    }
  }
}

TEST(TexelTriangle, TexelsOnASharedEdgeCountForBothOrForNeither) {
  // An 8 x 8 square cut along its diagonal, which runs through the centres of 8 texels.
  const TexelTriangle lower{{0.0f, 8.0f, 8.0f}, {0.0f, 0.0f, 8.0f}};
  const TexelTriangle upper{{0.0f, 8.0f, 0.0f}, {0.0f, 8.0f, 8.0f}};
  for (TriangleEdges edges : {TriangleEdges::kIncluded, TriangleEdges::kExcluded}) {
    Visits both = Walk(lower, edges);
    for (const auto& [texel, count] : Walk(upper, edges)) both[texel] += count;
    int total = 0;
    for (const auto& [texel, count] : both) {
      const bool onDiagonal = texel.first == texel.second;
      EXPECT_EQ(count, onDiagonal ? 2 : 1) << texel.first << "," << texel.second;
      total += count;
    }
    EXPECT_EQ(total, edges == TriangleEdges::kIncluded ? 64 + 8 : 64 - 8);
  }
}

TEST(TexelTriangle, StaysInItsWindowAndSkipsWhatHasNoArea) {
  const TexelTriangle huge{{-1e6f, 1e6f, 0.0f}, {-1e6f, -1e6f, 1e6f}};
  const Visits visits = [&] {
    Visits v;
    ForEachTexelIn(huge, TriangleEdges::kExcluded, TexelWindow{2, 3, 5, 4},
                   [&](int64_t px, int64_t py, float, float, float) { ++v[{px, py}]; });
    return v;
  }();
  EXPECT_EQ(visits.size(), 8u);
  for (const auto& [texel, count] : visits) {
    EXPECT_TRUE(texel.first >= 2 && texel.first <= 5 && texel.second >= 3 && texel.second <= 4);
    EXPECT_EQ(count, 1);
  }
  EXPECT_TRUE(Walk({{1.0f, 5.0f, 9.0f}, {1.0f, 5.0f, 9.0f}}, TriangleEdges::kIncluded).empty());
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(Walk({{0.0f, 8.0f, nan}, {0.0f, 0.0f, 8.0f}}, TriangleEdges::kIncluded).empty());
}

}  // namespace
}  // namespace RenderLib
