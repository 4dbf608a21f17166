// Today's kd-tree build, kept as it was so the benchmark and the tests can time and compare the
// optimised build against it in one run. It fills a pool, a root, the bounds and a traversal copy
// exactly as KdTree::Build did.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform_os/huge_pages.h"
#include "renderlib/kd_tree.h"
#include "renderlib/triangle_soup.h"

namespace ReferenceKdTree {

using namespace RenderLib;

constexpr float kLargest = 3.4028235e38f;
constexpr float kTraversalCost = 0.3f;
constexpr float kTriangleCost = 1.0f;
// Triangles narrower than this along an axis count as lying in a plane they touch.
constexpr float kFlatWidth = 0.001f;
// Nodes with at least this many triangles in the top quarter of the depth range are split at
// the median centroid: one selection instead of a full cost sweep.
constexpr int32_t kMedianSplitCount = 4096;

struct TriangleBounds {
  BoundingBox bounds;
  Vector3 centroid;
};

struct SplitChoice {
  float position = kLargest;
  float cost = kLargest;
};

inline BoundingBox WithMax(BoundingBox box, int axis, float value) {
  box.max[axis] = value;
  return box;
}

inline BoundingBox WithMin(BoundingBox box, int axis, float value) {
  box.min[axis] = value;
  return box;
}

inline bool IsThin(const BoundingBox& box) {
  Vector3 extent = box.Extent();
  return extent.x < 0.1f || extent.y < 0.1f || extent.z < 0.1f;
}

// The surface-area cost of cutting box at s with the given triangle counts on each side. A cut
// that isolates a non-thin empty region costs only the traversal.
inline float SplitCost(const BoundingBox& box, int axis, float s, int32_t leftCount, int32_t rightCount) {
  const BoundingBox leftBox = WithMax(box, axis, s);
  const BoundingBox rightBox = WithMin(box, axis, s);
  const float area = box.SurfaceArea();
  const float pLeft = leftBox.SurfaceArea() / area;
  const float pRight = rightBox.SurfaceArea() / area;
  const float bonus = ((leftCount == 0 && !IsThin(leftBox)) || (rightCount == 0 && !IsThin(rightBox))) ? 1.0f : 0.0f;
  return (1.0f - bonus) * kTriangleCost * (static_cast<float>(leftCount) * pLeft + static_cast<float>(rightCount) * pRight) +
         kTraversalCost;
}

class TreeBuilder {
public:
  TreeBuilder(KdNodePool& pool, const std::vector<TriangleBounds>& records, int32_t maxDepth, int32_t leafSize)
      : pool(pool), records(records), maxDepth(maxDepth), leafSize(leafSize) {}

  void BuildNode(KdNode* node, int32_t depth, const BoundingBox& box) {
    const int32_t count = static_cast<int32_t>(node->triangles.size());
    if (count <= leafSize || depth >= maxDepth) return;

    const float leafCost = static_cast<float>(count) * kTriangleCost;
    SplitChoice best;
    int bestAxis = 0;
    for (int axis = 0; axis < 3; ++axis) {
      SplitChoice choice;
      if (depth > maxDepth / 4 || count < kMedianSplitCount) {
        choice = SahSplit(node->triangles, axis, box);
      } else {
        choice.position = MedianSplit(node->triangles, axis);
        choice.cost = CostAt(node->triangles, axis, box, choice.position);
      }
      // Ties keep the earlier axis.
      if (axis == 0 || choice.cost < best.cost) {
        best = choice;
        bestAxis = axis;
      }
    }
    if (best.cost >= leafCost) return;

    const BoundingBox leftBox = WithMax(box, bestAxis, best.position);
    const BoundingBox rightBox = WithMin(box, bestAxis, best.position);
    auto halfWidth = [bestAxis](const BoundingBox& b) {
      return b.max[bestAxis] - (b.max[bestAxis] + b.min[bestAxis]) * 0.5f;
    };
    if (halfWidth(leftBox) < 0.001f || halfWidth(rightBox) < 0.001f) return;

    // A triangle whose box touches the plane goes to both sides.
    // The lists are sized for the whole node up front and trimmed after.
    std::vector<int32_t> left, right;
    left.reserve(static_cast<size_t>(count));
    right.reserve(static_cast<size_t>(count));
    for (int32_t t : node->triangles) {
      if (records[t].bounds.Overlaps(leftBox)) left.push_back(t);
      if (records[t].bounds.Overlaps(rightBox)) right.push_back(t);
    }
    left.shrink_to_fit();
    right.shrink_to_fit();

    KdNode* children = pool.Take(2);
    node->axis = bestAxis;
    node->split = best.position;
    node->children = children;
    children[0].triangles = std::move(left);
    children[1].triangles = std::move(right);
    node->triangles = {};
    BuildNode(&children[0], depth + 1, leftBox);
    BuildNode(&children[1], depth + 1, rightBox);
  }

private:
  // Sweeps the triangles' box edges on the axis as candidate planes and returns the cheapest.
  //
  // At a candidate s a triangle with extent [lo, hi] (width w) counts on the left when lo < s,
  // or lo = s with w < kFlatWidth, and on the right when hi > s, or hi = s with w <= kFlatWidth:
  // a triangle lying flat in the plane counts on both sides. Both counts depend on s alone, so
  // they come from binary positions in the sorted edges instead of a rescan per candidate.
  SplitChoice SahSplit(const std::vector<int32_t>& triangles, int axis, const BoundingBox& box) {
    const size_t n = triangles.size();
    lows.clear();
    highs.clear();
    flatLows.clear();
    flatHighs.clear();
    for (int32_t t : triangles) {
      const float lo = records[t].bounds.min[axis];
      const float hi = records[t].bounds.max[axis];
      const float width = hi - lo;
      lows.push_back(lo);
      highs.push_back(hi);
      if (width < kFlatWidth) flatLows.push_back(lo);
      if (width <= kFlatWidth) flatHighs.push_back(hi);
    }
    std::sort(lows.begin(), lows.end());
    std::sort(highs.begin(), highs.end());
    std::sort(flatLows.begin(), flatLows.end());
    std::sort(flatHighs.begin(), flatHighs.end());
    candidates.resize(2 * n);
    std::merge(lows.begin(), lows.end(), highs.begin(), highs.end(), candidates.begin());

    SplitChoice best;
    size_t i = 0;
    while (i < candidates.size() && !(candidates[i] > box.min[axis])) ++i;
    size_t lowsBelow = 0, flatLowsBelow = 0, highsAtOrBelow = 0, flatHighsBelow = 0;
    while (i < candidates.size() && candidates[i] < box.max[axis]) {
      const float s = candidates[i];
      while (lowsBelow < n && lows[lowsBelow] < s) ++lowsBelow;
      while (flatLowsBelow < flatLows.size() && flatLows[flatLowsBelow] < s) ++flatLowsBelow;
      size_t flatLowsAt = flatLowsBelow;
      while (flatLowsAt < flatLows.size() && flatLows[flatLowsAt] == s) ++flatLowsAt;
      while (highsAtOrBelow < n && highs[highsAtOrBelow] <= s) ++highsAtOrBelow;
      while (flatHighsBelow < flatHighs.size() && flatHighs[flatHighsBelow] < s) ++flatHighsBelow;
      size_t flatHighsAt = flatHighsBelow;
      while (flatHighsAt < flatHighs.size() && flatHighs[flatHighsAt] == s) ++flatHighsAt;

      const auto leftCount = static_cast<int32_t>(lowsBelow + (flatLowsAt - flatLowsBelow));
      const auto rightCount = static_cast<int32_t>((n - highsAtOrBelow) + (flatHighsAt - flatHighsBelow));
      const float cost = SplitCost(box, axis, s, leftCount, rightCount);
      if (cost < best.cost) {
        best.cost = cost;
        best.position = s;
      }
      // Candidates closer than this to the one just tried are passed over.
      do {
        ++i;
      } while (i < candidates.size() && candidates[i] - s < 0.00001f);
    }
    return best;
  }

  // The median of the triangles' centroids on the axis (the mean of the two middle values
  // for an even count).
  float MedianSplit(const std::vector<int32_t>& triangles, int axis) {
    centroids.clear();
    for (int32_t t : triangles) centroids.push_back(records[t].centroid[axis]);
    const size_t n = centroids.size();
    const size_t upper = n / 2;
    const size_t lower = (n - 1) / 2;
    std::nth_element(centroids.begin(), centroids.begin() + upper, centroids.end());
    const float high = centroids[upper];
    if (lower == upper) return high;
    const float low = *std::max_element(centroids.begin(), centroids.begin() + upper);
    return low + (high - low) * 0.5f;
  }

  // The cost of cutting at s, counting sides exactly as the sweep does.
  float CostAt(const std::vector<int32_t>& triangles, int axis, const BoundingBox& box, float s) const {
    int32_t leftCount = 0, rightCount = 0;
    for (int32_t t : triangles) {
      const float lo = records[t].bounds.min[axis];
      const float hi = records[t].bounds.max[axis];
      const float width = hi - lo;
      if (lo < s || (lo == s && width < kFlatWidth)) ++leftCount;
      if (hi > s || (hi == s && width <= kFlatWidth)) ++rightCount;
    }
    return SplitCost(box, axis, s, leftCount, rightCount);
  }

  KdNodePool& pool;
  const std::vector<TriangleBounds>& records;
  int32_t maxDepth;
  int32_t leafSize;
  std::vector<float> lows, highs, flatLows, flatHighs, candidates, centroids;
};

inline bool IsFinite(const Vector3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// The traversal arrays as they were allocated then: large ones asked for huge pages before
// they were written, so filling them waited for the kernel at every 2 MiB page.
template <class T>
struct HintedAllocator {
  using value_type = T;
  HintedAllocator() = default;
  template <class U>
  HintedAllocator(const HintedAllocator<U>&) {}
  T* allocate(std::size_t count) {
    const std::size_t bytes = count * sizeof(T);
    if (bytes >= (std::size_t{1} << 20)) {
      const std::size_t rounded = (bytes + Platform::kHugePageSize - 1) / Platform::kHugePageSize * Platform::kHugePageSize;
      if (void* memory = std::aligned_alloc(Platform::kHugePageSize, rounded)) {
        Platform::AdviseHugePages(memory, rounded);
        return static_cast<T*>(memory);
      }
    }
    return static_cast<T*>(AllocateTraversalMemory(bytes, alignof(T)));
  }
  void deallocate(T* memory, std::size_t) { FreeTraversalMemory(memory); }
  template <class U>
  bool operator==(const HintedAllocator<U>&) const {
    return true;
  }
};

struct Tree {
  std::unique_ptr<KdNodePool> pool = std::make_unique<KdNodePool>();
  KdNode* root = nullptr;
  BoundingBox bounds;
  std::vector<KdTree::TraversalNode, HintedAllocator<KdTree::TraversalNode>> traversalNodes;
  std::vector<KdTree::TrianglePacket, HintedAllocator<KdTree::TrianglePacket>> packets;
};

inline void BuildTraversalCopy(Tree& tree, const TriangleSoup& soup);

// Builds tree over soup as KdTree::Build(soup, maxDepth, leafSize) did.
inline void Build(Tree& tree, const TriangleSoup& soup, int32_t maxDepth, int32_t leafSize) {
  // One stack entry per level of the deepest path keeps the traversal within its stack.
  maxDepth = std::clamp(maxDepth, 0, KdTree::kStackSize);
  tree.root = tree.pool->Take(1);
  KdNode* root = tree.root;
  BoundingBox& bounds = tree.bounds;

  const int32_t n = soup.GetIndexCount() / 3;
  const int32_t* indices = soup.GetIndices();
  const VertexNormalUV* vertices = soup.GetVertices();
  std::vector<TriangleBounds> records(static_cast<size_t>(std::max(n, 0)));
  root->triangles.reserve(records.size());
  for (int32_t t = 0; t < n; ++t) {
    const Vector3& p0 = vertices[indices[3 * t]].position;
    const Vector3& p1 = vertices[indices[3 * t + 1]].position;
    const Vector3& p2 = vertices[indices[3 * t + 2]].position;
    // A triangle with a coordinate that is not a number can never be hit; leaving it out keeps
    // the sorting of the build well defined.
    if (!IsFinite(p0) || !IsFinite(p1) || !IsFinite(p2)) continue;
    TriangleBounds& record = records[static_cast<size_t>(t)];
    record.centroid = (p0 + p1 + p2) * 0.33333334f;
    record.bounds.Extend(p0);
    record.bounds.Extend(p1);
    record.bounds.Extend(p2);
    root->triangles.push_back(t);
    for (int axis = 0; axis < 3; ++axis) {
      bounds.min[axis] = std::min(bounds.min[axis], record.bounds.min[axis]);
      bounds.max[axis] = std::max(bounds.max[axis], record.bounds.max[axis]);
    }
  }
  if (!root->triangles.empty()) {
    const Vector3 padding = bounds.Extent() * 0.00001f;
    bounds.min -= padding;
    bounds.max += padding;
  }

  TreeBuilder(*tree.pool, records, maxDepth, leafSize).BuildNode(root, 0, bounds);
  BuildTraversalCopy(tree, soup);
}

inline void BuildTraversalCopy(Tree& tree, const TriangleSoup& soup) {
  const int32_t* indices = soup.GetIndices();
  const VertexNormalUV* vertices = soup.GetVertices();
  // Both arrays are sized up front: growing them would copy them over and over.
  size_t nodeCount = 0, packetCount = 0;
  const KdNode* root = tree.root;
  auto& traversalNodes = tree.traversalNodes;
  auto& packets = tree.packets;
  std::vector<const KdNode*> counting{root};
  while (!counting.empty()) {
    const KdNode* node = counting.back();
    counting.pop_back();
    ++nodeCount;
    if (node->IsLeaf()) {
      packetCount += (node->triangles.size() + KdTree::kPacketWidth - 1) / KdTree::kPacketWidth;
    } else {
      counting.push_back(&node->children[0]);
      counting.push_back(&node->children[1]);
    }
  }
  traversalNodes.reserve(nodeCount);
  packets.reserve(packetCount);
  traversalNodes.assign(1, KdTree::TraversalNode{});
  struct Pending {
    const KdNode* node;
    size_t slot;
  };
  std::vector<Pending> pending{{root, 0}};
  while (!pending.empty()) {
    Pending item = pending.back();
    pending.pop_back();
    KdTree::TraversalNode& out = traversalNodes[item.slot];
    if (item.node->IsLeaf()) {
      const std::vector<int32_t>& triangles = item.node->triangles;
      out.leafCount = static_cast<uint32_t>(triangles.size());
      out.word = static_cast<uint32_t>(packets.size()) << 2 | 3u;
      for (size_t first = 0; first < triangles.size(); first += KdTree::kPacketWidth) {
        KdTree::TrianglePacket packet{};
        for (int lane = 0; lane < KdTree::kPacketWidth; ++lane) {
          packet.triangle[lane] = -1;
          if (first + lane >= triangles.size()) continue;
          const int32_t t = triangles[first + lane];
          const Vector3& p0 = vertices[indices[3 * t]].position;
          const Vector3 e1 = vertices[indices[3 * t + 1]].position - p0;
          const Vector3 e2 = vertices[indices[3 * t + 2]].position - p0;
          for (int axis = 0; axis < 3; ++axis) {
            packet.p0[axis][lane] = p0[axis];
            packet.e1[axis][lane] = e1[axis];
            packet.e2[axis][lane] = e2[axis];
          }
          packet.triangle[lane] = t;
        }
        packets.push_back(packet);
      }
      continue;
    }
    const size_t first = traversalNodes.size();
    out.split = item.node->split;
    out.word = static_cast<uint32_t>(first) << 2 | static_cast<uint32_t>(item.node->axis);
    traversalNodes.resize(first + 2);
    pending.push_back({&item.node->children[1], first + 1});
    pending.push_back({&item.node->children[0], first});
  }
}


// Where tree and other first differ: nodes in depth-first order (axis, split, children, triangle
// lists element by element), then the bounds and the traversal copy; empty when they are the same.
inline std::string FirstDifference(const Tree& tree, const KdTree& other) {
  struct Pair {
    const KdNode* a;
    const KdNode* b;
    std::string path;
  };
  std::vector<Pair> pending{{tree.root, other.Root(), "root"}};
  while (!pending.empty()) {
    Pair pair = pending.back();
    pending.pop_back();
    const KdNode& a = *pair.a;
    const KdNode& b = *pair.b;
    if (a.IsLeaf() != b.IsLeaf()) return pair.path + ": leaf in one tree only";
    if (a.triangles != b.triangles) return pair.path + ": triangle lists differ";
    if (a.IsLeaf()) continue;
    // Compared as numbers: a plane at 0 may carry either sign of zero depending on sort order.
    if (a.axis != b.axis || a.split != b.split) return pair.path + ": axis or split differs";
    pending.push_back({&a.children[1], &b.children[1], pair.path + ".1"});
    pending.push_back({&a.children[0], &b.children[0], pair.path + ".0"});
  }
  for (int axis = 0; axis < 3; ++axis) {
    if (tree.bounds.min[axis] != other.Bounds().min[axis] || tree.bounds.max[axis] != other.Bounds().max[axis]) return "bounds differ";
  }
  for (size_t i = 0; i < tree.traversalNodes.size(); ++i) {
    const KdTree::TraversalNode& a = tree.traversalNodes[i];
    const KdTree::TraversalNode& b = other.TraversalNodes()[i];
    if (a.word != b.word || ((a.word & 3u) == 3u ? a.leafCount != b.leafCount : a.split != b.split)) {
      return "traversal node " + std::to_string(i) + " differs";
    }
  }
  for (size_t i = 0; i < tree.packets.size(); ++i) {
    if (std::memcmp(&tree.packets[i], &other.Packets()[i], sizeof(KdTree::TrianglePacket)) != 0) {
      return "triangle packet " + std::to_string(i) + " differs";
    }
  }
  return {};
}

}  // namespace ReferenceKdTree
