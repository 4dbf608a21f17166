#pragma once

// The front-to-back walk of a kd-tree's traversal copy and the packet ray test, written once
// over a small vector-register interface so that each instruction set gets its own build of
// them (see kd_tree_intersect*.cpp). Everything here has internal linkage on purpose: every
// file that includes it compiles its own copy with its own instruction set.

#include <cstdint>

#include "renderlib/kd_tree.h"

namespace RenderLib {
namespace {

constexpr float kLargest = 3.4028235e38f;
constexpr float kParallel = 1.1920929e-7f;  // one float epsilon: the ray runs in the plane

struct StackEntry {
  uint32_t node;
  float tmin;
  float tmax;
};

// Walks the tree front to back over [tmin, tmax], handing each leaf entered to testLeaf with
// the leaf's own range. testLeaf returns true to end the walk at once (the any-hit mode).
template <class TestLeaf>
inline void Walk(const KdTree::TraversalNode* nodes, const Vector3& origin, const Vector3& direction, float tmin,
                 float tmax, const KdHit& hit, TestLeaf&& testLeaf) {
  StackEntry stack[KdTree::kStackSize];
  int stackSize = 0;
  uint32_t index = 0;
  for (;;) {
    const KdTree::TraversalNode node = nodes[index];
    const uint32_t axis = node.word & 3u;
    if (axis != 3u) {
      const float originOnAxis = origin[static_cast<int>(axis)];
      const float directionOnAxis = direction[static_cast<int>(axis)];
      const float tSplit = directionOnAxis == 0.0f ? kLargest : (node.split - originOnAxis) / directionOnAxis;
      const uint32_t first = node.word >> 2;
      const uint32_t nearChild = originOnAxis <= node.split ? first : first + 1;
      const uint32_t farChild = originOnAxis <= node.split ? first + 1 : first;
      if (tSplit > tmax || tSplit < 0.0f) {
        index = nearChild;
      } else if (tSplit < tmin) {
        index = farChild;
      } else {
        // Build caps the depth at the stack's size, so a push always has room.
        stack[stackSize++] = {farChild, tSplit, tmax};
        tmax = tSplit;
        index = nearChild;
      }
      continue;
    }
    if (testLeaf(node, tmin, tmax)) return;
    if (stackSize == 0) return;
    const StackEntry& next = stack[--stackSize];
    index = next.node;
    tmin = next.tmin;
    tmax = next.tmax;
    // Everything left lies behind the nearest hit found.
    if (hit.distance < tmin) return;
  }
}

// The two-sided ray test of `V::kWidth` lanes of a packet, starting at lane `first`, over
// [tmin, tmax]. Returns a bit per lane that hits and writes the lanes' t, u, v. Every lane
// computes exactly what a scalar test computes, operation for operation (no fused or
// approximate arithmetic), so results do not depend on how triangles are grouped or on the
// instruction set; boundaries count as hits.
template <class V>
inline int RangedLanes(const KdTree::TrianglePacket& packet, int first, const Vector3& origin,
                       const Vector3& direction, float tmin, float tmax, float* t, float* u, float* v) {
  using R = typename V::Register;
  const R dx = V::Set(direction.x), dy = V::Set(direction.y), dz = V::Set(direction.z);
  const R e1x = V::Load(packet.e1[0] + first), e1y = V::Load(packet.e1[1] + first), e1z = V::Load(packet.e1[2] + first);
  const R e2x = V::Load(packet.e2[0] + first), e2y = V::Load(packet.e2[1] + first), e2z = V::Load(packet.e2[2] + first);
  const R px = V::Sub(V::Mul(dy, e2z), V::Mul(dz, e2y));
  const R py = V::Sub(V::Mul(dz, e2x), V::Mul(dx, e2z));
  const R pz = V::Sub(V::Mul(dx, e2y), V::Mul(dy, e2x));
  const R det = V::Add(V::Add(V::Mul(e1x, px), V::Mul(e1y, py)), V::Mul(e1z, pz));
  R miss = V::And(V::Greater(det, V::Set(-kParallel)), V::Less(det, V::Set(kParallel)));
  const R inverse = V::Div(V::Set(1.0f), det);
  const R tx = V::Sub(V::Set(origin.x), V::Load(packet.p0[0] + first));
  const R ty = V::Sub(V::Set(origin.y), V::Load(packet.p0[1] + first));
  const R tz = V::Sub(V::Set(origin.z), V::Load(packet.p0[2] + first));
  const R uu = V::Mul(V::Add(V::Add(V::Mul(tx, px), V::Mul(ty, py)), V::Mul(tz, pz)), inverse);
  const R zero = V::Set(0.0f), one = V::Set(1.0f);
  miss = V::Or(miss, V::Or(V::Less(uu, zero), V::Greater(uu, one)));
  // Most triangles a ray meets in a leaf are missed already here; skip the rest for them.
  if (V::Mask(miss) == (1 << V::kWidth) - 1) return 0;
  const R qx = V::Sub(V::Mul(ty, e1z), V::Mul(tz, e1y));
  const R qy = V::Sub(V::Mul(tz, e1x), V::Mul(tx, e1z));
  const R qz = V::Sub(V::Mul(tx, e1y), V::Mul(ty, e1x));
  const R vv = V::Mul(V::Add(V::Add(V::Mul(dx, qx), V::Mul(dy, qy)), V::Mul(dz, qz)), inverse);
  miss = V::Or(miss, V::Or(V::Less(vv, zero), V::Greater(V::Add(uu, vv), one)));
  const R tt = V::Mul(V::Add(V::Add(V::Mul(e2x, qx), V::Mul(e2y, qy)), V::Mul(e2z, qz)), inverse);
  const R inRange = V::And(V::LessOrEqual(V::Set(tmin), tt), V::LessOrEqual(tt, V::Set(tmax)));
  const int hits = V::Mask(V::AndNot(miss, inRange));
  if (hits != 0) {
    V::Store(t, tt);
    V::Store(u, uu);
    V::Store(v, vv);
  }
  return hits;
}

// The nearest hit of the ranged two-sided test, or the any-hit answer, with registers of V.
template <class V>
inline bool IntersectRanged(const KdTree& tree, const KdRay& ray, const Vector3& direction, float tmin, float tmax,
                            KdHit& hit) {
  constexpr int kWidth = KdTree::kPacketWidth;
  bool stoppedAtAnyHit = false;
  const KdTree::TrianglePacket* const packets = tree.Packets();
  Walk(tree.TraversalNodes(), ray.origin, direction, tmin, tmax, hit,
       [&](const KdTree::TraversalNode& leaf, float leafMin, float leafMax) {
         const KdTree::TrianglePacket* packet = packets + (leaf.word >> 2);
         const KdTree::TrianglePacket* const last = packet + (leaf.leafCount + kWidth - 1) / kWidth;
         for (; packet != last; ++packet) {
           float t[kWidth], u[kWidth], v[kWidth];
           int hits = 0;
           for (int first = 0; first < kWidth; first += V::kWidth) {
             hits |= RangedLanes<V>(*packet, first, ray.origin, direction, leafMin, leafMax, t + first, u + first,
                                    v + first)
                     << first;
           }
           if (hits == 0) continue;
           if (ray.anyHit) return stoppedAtAnyHit = true;
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
         return false;
       });
  return stoppedAtAnyHit || hit.triangle >= 0;
}

}  // namespace
}  // namespace RenderLib
