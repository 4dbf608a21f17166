#pragma once

// The walk of a KdAxisCaster, written once over the vector-register interface of
// kd_tree_walk.h so that each instruction set gets its own build (kd_tree_axis_caster*.cpp).
// Internal linkage on purpose, as in kd_tree_walk.h.
//
// Rays parallel to an axis, all starting on one plane, walk the tree alike: at a node split
// across the axis the ray goes to the side holding its two other coordinates, and at a node
// split along the axis what it does depends only on the range it carries, which is the same for
// every such ray. So the leaves a ray visits, in order and with their ranges, are the same for
// every ray whose coordinates fall in the region that the nodes split across the axis have cut
// out along its path. The walk keeps the last path it took (leaves, ranges, the stack where it
// stopped) and that region; a ray inside the region tests the same leaves without walking down
// to them, and carries on walking from the kept stack if it gets past them. Next rays lie side
// by side, so most of them do. The leaves are tested and the walk ends exactly as the plain
// walk's, so the hit is the one KdTree::Intersect finds.

#include <cstdint>
#include <limits>

#include "renderlib/kd_axis_path.h"
#include "renderlib/kd_tree.h"
#include "renderlib/kd_tree_walk.h"

namespace RenderLib {
namespace {

template <class V>
inline void TestAxisLeaf(const KdTree& tree, const KdRay& ray, const Vector3& direction, uint32_t leafNode,
                         float leafMin, float leafMax, KdHit& hit) {
  constexpr int kWidth = KdTree::kPacketWidth;
  const KdTree::TraversalNode& leaf = tree.TraversalNodes()[leafNode];
  const KdTree::TrianglePacket* packet = tree.Packets() + (leaf.word >> 2);
  const KdTree::TrianglePacket* const last = packet + (leaf.leafCount + kWidth - 1) / kWidth;
  for (; packet != last; ++packet) {
    float t[kWidth], u[kWidth], v[kWidth];
    int hits = 0;
    for (int first = 0; first < kWidth; first += V::kWidth) {
      hits |= RangedLanes<V>(*packet, first, ray.origin, direction, leafMin, leafMax, t + first, u + first, v + first)
              << first;
    }
    // Lanes in list order, so of two equally near triangles the earlier one stays.
    for (int lane = 0; hits != 0; ++lane, hits >>= 1) {
      if ((hits & 1) && t[lane] < hit.distance) {
        hit.triangle = packet->triangle[lane];
        hit.distance = t[lane];
        hit.u = u[lane];
        hit.v = v[lane];
      }
    }
  }
}

template <class V>
inline bool AxisWalk(const KdTree& tree, const KdRay& ray, const Vector3& direction, int axis, float rangeMin,
                     float rangeMax, KdHit& hit, KdAxisPath& path) {
  using Leaf = KdAxisPath::Leaf;
  const KdTree::TraversalNode* const nodes = tree.TraversalNodes();
  const int across[2] = {(axis + 1) % 3, (axis + 2) % 3};
  const float c0 = ray.origin[across[0]];
  const float c1 = ray.origin[across[1]];
  StackEntry stack[KdTree::kStackSize];
  int stackSize = 0;
  uint32_t index = 0;
  float tmin = rangeMin;
  float tmax = rangeMax;

  const bool inside = path.valid && path.low[0] < c0 && c0 <= path.high[0] && path.low[1] < c1 && c1 <= path.high[1];
  if (inside) {
    for (int i = 0; i < path.leafCount; ++i) {
      const Leaf& leaf = path.leaves[i];
      // The plain walk pops the entry leading to each next leaf and stops if the hit lies before
      // it; walking down from an entry keeps its range's start, so that is the leaf's tmin.
      if (i > 0 && hit.distance < leaf.tmin) return hit.triangle >= 0;
      TestAxisLeaf<V>(tree, ray, direction, leaf.node, leaf.tmin, leaf.tmax, hit);
    }
    if (path.complete) return hit.triangle >= 0;
    stackSize = path.stackSize;
    for (int i = 0; i < stackSize; ++i) stack[i] = {path.stack[i].node, path.stack[i].tmin, path.stack[i].tmax};
  } else {
    path.valid = true;
    path.complete = false;
    path.leafCount = 0;
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    path.low[0] = path.low[1] = -kInfinity;
    path.high[0] = path.high[1] = kInfinity;
  }

  // Walking down from `index` (the root, or an entry just popped) until a leaf.
  bool descending = !inside;
  for (;;) {
    if (!descending) {
      if (stackSize == 0) {
        path.complete = true;
        return hit.triangle >= 0;
      }
      const StackEntry& next = stack[stackSize - 1];
      if (hit.distance < next.tmin) {
        // Everything left lies behind the nearest hit; keep where the walk stands.
        if (path.valid) {
          path.stackSize = stackSize;
          for (int i = 0; i < stackSize; ++i) path.stack[i] = {stack[i].node, stack[i].tmin, stack[i].tmax};
        }
        return hit.triangle >= 0;
      }
      --stackSize;
      index = next.node;
      tmin = next.tmin;
      tmax = next.tmax;
      descending = true;
    }
    const KdTree::TraversalNode node = nodes[index];
    const uint32_t nodeAxis = node.word & 3u;
    if (nodeAxis != 3u) {
      const float originOnAxis = ray.origin[static_cast<int>(nodeAxis)];
      const uint32_t first = node.word >> 2;
      const bool nearIsFirst = originOnAxis <= node.split;
      if (static_cast<int>(nodeAxis) != axis) {
        // Across the axis the ray's direction is 0: the split is never crossed.
        const int k = static_cast<int>(nodeAxis) == across[0] ? 0 : 1;
        if (nearIsFirst) {
          if (node.split < path.high[k]) path.high[k] = node.split;
        } else if (node.split > path.low[k]) {
          path.low[k] = node.split;
        }
        index = nearIsFirst ? first : first + 1;
        continue;
      }
      const float directionOnAxis = direction[axis];
      const float tSplit = directionOnAxis == 0.0f ? kLargest : (node.split - originOnAxis) / directionOnAxis;
      const uint32_t nearChild = nearIsFirst ? first : first + 1;
      const uint32_t farChild = nearIsFirst ? first + 1 : first;
      if (tSplit > tmax || tSplit < 0.0f) {
        index = nearChild;
      } else if (tSplit < tmin) {
        index = farChild;
      } else {
        stack[stackSize++] = {farChild, tSplit, tmax};
        tmax = tSplit;
        index = nearChild;
      }
      continue;
    }
    if (path.valid) {
      if (path.leafCount < KdAxisPath::kMaxLeaves) {
        path.leaves[path.leafCount++] = {index, tmin, tmax};
      } else {
        path.valid = false;  // too long a path to keep; the next ray walks afresh
      }
    }
    TestAxisLeaf<V>(tree, ray, direction, index, tmin, tmax, hit);
    descending = false;
  }
}

}  // namespace
}  // namespace RenderLib
