#include <algorithm>
#include <cmath>
#include <utility>

#include "renderlib/kd_tree.h"

namespace RenderLib {
namespace {

constexpr float kLargest = 3.4028235e38f;
constexpr float kParallel = 1.1920929e-7f;  // one float epsilon: the ray runs in the plane

// Two-sided ray-triangle test over [tmin, tmax]; boundaries count as hits.
inline bool RangedTest(const KdTree::LeafTriangle& triangle, const Vector3& origin, const Vector3& direction,
                       float tmin, float tmax, float& t, float& u, float& v) {
  const Vector3 p = Cross(direction, triangle.e2);
  const float det = Dot(triangle.e1, p);
  if (det > -kParallel && det < kParallel) return false;
  const float inverse = 1.0f / det;
  const Vector3 toOrigin = origin - triangle.p0;
  u = Dot(toOrigin, p) * inverse;
  if (u < 0.0f || u > 1.0f) return false;
  const Vector3 q = Cross(toOrigin, triangle.e1);
  v = Dot(direction, q) * inverse;
  if (v < 0.0f || u + v > 1.0f) return false;
  t = Dot(triangle.e2, q) * inverse;
  return tmin <= t && t <= tmax;
}

// One-sided test of the segment origin..end: only triangles whose normal faces the origin are
// hit. t, u, v come out as fractions of the segment and of the triangle's edges.
inline bool SegmentTest(const KdTree::LeafTriangle& triangle, const Vector3& origin, const Vector3& end, float& t,
                        float& u, float& v) {
  const Vector3 normal = Cross(triangle.e1, triangle.e2);
  const Vector3 w0 = origin - end;
  const float den = Dot(w0, normal);
  if (den <= 0.0f) return false;
  const Vector3 a = origin - triangle.p0;
  t = Dot(a, normal);
  if (t < 0.0f || t > den) return false;
  const Vector3 e = Cross(w0, a);
  u = Dot(triangle.e2, e);
  if (u < 0.0f || u > den) return false;
  v = -Dot(triangle.e1, e);
  if (v < 0.0f || u + v > den) return false;
  t /= den;
  u /= den;
  v /= den;
  return true;
}

struct StackEntry {
  uint32_t node;
  float tmin;
  float tmax;
};

}  // namespace

bool ClipToBox(const Vector3& origin, const Vector3& end, const BoundingBox& box, float& tmin, float& tmax) {
  Vector3 d = end - origin;
  d.Normalize();
  for (int axis = 0; axis < 3; ++axis) {
    const float lo = box.min[axis];
    const float hi = box.max[axis];
    const float o = origin[axis];
    const float e = end[axis];
    const float dd = d[axis];
    if (std::fabs(dd) < 0.000001f) {
      const bool passes = dd > 0.0f ? (lo <= e && o <= hi) : (lo <= o && e <= hi);
      if (!passes) return false;
      continue;
    }
    float t1 = (lo - o) / dd;
    float t2 = (hi - o) / dd;
    if (t1 > t2) std::swap(t1, t2);
    if (tmin > t2 || tmax < t1) return false;
    tmin = std::max(tmin, t1);
    tmax = std::min(tmax, t2);
    if (!(tmin <= tmax)) return false;
  }
  return true;
}

namespace {

// Walks the tree front to back over [tmin, tmax], handing each leaf entered to testLeaf with
// the leaf's own range. testLeaf returns true to end the walk at once (the any-hit mode).
template <class TestLeaf>
void Walk(const KdTree::TraversalNode* nodes, const Vector3& origin, const Vector3& direction, float tmin, float tmax,
          const KdHit& hit, TestLeaf&& testLeaf) {
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

}  // namespace

bool KdTree::Intersect(const KdRay& ray, const MeshSoup&, KdHit& hit) const {
  if (traversalNodes.empty()) return false;
  Vector3 direction = ray.end - ray.origin;
  const float length = Length(direction);
  if (length >= 0.00001f) direction = direction / length;
  float tmin = 0.0f;
  float tmax = length;
  if (!ClipToBox(ray.origin, ray.end, bounds, tmin, tmax)) return false;

  hit.triangle = -1;
  hit.distance = kLargest;
  bool stoppedAtAnyHit = false;
  const LeafTriangle* const triangles = leafTriangles.data();
  if (ray.rangedTest == 1) {
    Walk(traversalNodes.data(), ray.origin, direction, tmin, tmax, hit,
         [&](const TraversalNode& leaf, float leafMin, float leafMax) {
           const LeafTriangle* triangle = triangles + (leaf.word >> 2);
           const LeafTriangle* const last = triangle + leaf.leafCount;
           for (; triangle != last; ++triangle) {
             float t, u, v;
             if (!RangedTest(*triangle, ray.origin, direction, leafMin, leafMax, t, u, v)) continue;
             if (ray.anyHit) return stoppedAtAnyHit = true;
             if (t < hit.distance) hit = {triangle->triangle, hit.point, t, u, v};
           }
           return false;
         });
  } else {
    // The segment test gives fractions of the segment; as lengths along it they compare with
    // the walk's ranges. Leaves are tested whole.
    Walk(traversalNodes.data(), ray.origin, direction, tmin, tmax, hit,
         [&](const TraversalNode& leaf, float, float) {
           const LeafTriangle* triangle = triangles + (leaf.word >> 2);
           const LeafTriangle* const last = triangle + leaf.leafCount;
           for (; triangle != last; ++triangle) {
             float t, u, v;
             if (!SegmentTest(*triangle, ray.origin, ray.end, t, u, v)) continue;
             if (ray.anyHit) return stoppedAtAnyHit = true;
             if (t * length < hit.distance) hit = {triangle->triangle, hit.point, t * length, u, v};
           }
           return false;
         });
  }
  return stoppedAtAnyHit || hit.triangle >= 0;
}

}  // namespace RenderLib
