#include <algorithm>
#include <cmath>
#include <immintrin.h>
#include <utility>

#include "renderlib/kd_tree.h"

namespace RenderLib {
namespace {

constexpr float kLargest = 3.4028235e38f;
constexpr float kParallel = 1.1920929e-7f;  // one float epsilon: the ray runs in the plane

// The two-sided ray test of the four triangles of a packet over [tmin, tmax]. Returns a bit per
// lane that hits and writes every lane's t, u, v. Each lane computes exactly what the scalar
// test computes, operation for operation (no fused or approximate arithmetic), so results do
// not depend on how the triangles are grouped; boundaries count as hits.
inline int RangedTest(const KdTree::TrianglePacket& packet, const Vector3& origin, const Vector3& direction, float tmin,
                      float tmax, float t[4], float u[4], float v[4]) {
  const __m128 dx = _mm_set1_ps(direction.x), dy = _mm_set1_ps(direction.y), dz = _mm_set1_ps(direction.z);
  const __m128 e1x = _mm_load_ps(packet.e1[0]), e1y = _mm_load_ps(packet.e1[1]), e1z = _mm_load_ps(packet.e1[2]);
  const __m128 e2x = _mm_load_ps(packet.e2[0]), e2y = _mm_load_ps(packet.e2[1]), e2z = _mm_load_ps(packet.e2[2]);
  const __m128 px = _mm_sub_ps(_mm_mul_ps(dy, e2z), _mm_mul_ps(dz, e2y));
  const __m128 py = _mm_sub_ps(_mm_mul_ps(dz, e2x), _mm_mul_ps(dx, e2z));
  const __m128 pz = _mm_sub_ps(_mm_mul_ps(dx, e2y), _mm_mul_ps(dy, e2x));
  const __m128 det = _mm_add_ps(_mm_add_ps(_mm_mul_ps(e1x, px), _mm_mul_ps(e1y, py)), _mm_mul_ps(e1z, pz));
  __m128 miss = _mm_and_ps(_mm_cmpgt_ps(det, _mm_set1_ps(-kParallel)), _mm_cmplt_ps(det, _mm_set1_ps(kParallel)));
  const __m128 inverse = _mm_div_ps(_mm_set1_ps(1.0f), det);
  const __m128 tx = _mm_sub_ps(_mm_set1_ps(origin.x), _mm_load_ps(packet.p0[0]));
  const __m128 ty = _mm_sub_ps(_mm_set1_ps(origin.y), _mm_load_ps(packet.p0[1]));
  const __m128 tz = _mm_sub_ps(_mm_set1_ps(origin.z), _mm_load_ps(packet.p0[2]));
  const __m128 uu = _mm_mul_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(tx, px), _mm_mul_ps(ty, py)), _mm_mul_ps(tz, pz)), inverse);
  const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
  miss = _mm_or_ps(miss, _mm_or_ps(_mm_cmplt_ps(uu, zero), _mm_cmpgt_ps(uu, one)));
  const __m128 qx = _mm_sub_ps(_mm_mul_ps(ty, e1z), _mm_mul_ps(tz, e1y));
  const __m128 qy = _mm_sub_ps(_mm_mul_ps(tz, e1x), _mm_mul_ps(tx, e1z));
  const __m128 qz = _mm_sub_ps(_mm_mul_ps(tx, e1y), _mm_mul_ps(ty, e1x));
  const __m128 vv = _mm_mul_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, qx), _mm_mul_ps(dy, qy)), _mm_mul_ps(dz, qz)), inverse);
  miss = _mm_or_ps(miss, _mm_or_ps(_mm_cmplt_ps(vv, zero), _mm_cmpgt_ps(_mm_add_ps(uu, vv), one)));
  const __m128 tt = _mm_mul_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(e2x, qx), _mm_mul_ps(e2y, qy)), _mm_mul_ps(e2z, qz)), inverse);
  const __m128 inRange = _mm_and_ps(_mm_cmple_ps(_mm_set1_ps(tmin), tt), _mm_cmple_ps(tt, _mm_set1_ps(tmax)));
  const int hits = _mm_movemask_ps(_mm_andnot_ps(miss, inRange));
  if (hits != 0) {
    _mm_storeu_ps(t, tt);
    _mm_storeu_ps(u, uu);
    _mm_storeu_ps(v, vv);
  }
  return hits;
}

// One-sided test of the segment origin..end: only triangles whose normal faces the origin are
// hit. t, u, v come out as fractions of the segment and of the triangle's edges.
inline bool SegmentTest(const KdTree::TrianglePacket& packet, int lane, const Vector3& origin, const Vector3& end,
                        float& t, float& u, float& v) {
  const Vector3 p0{packet.p0[0][lane], packet.p0[1][lane], packet.p0[2][lane]};
  const Vector3 e1{packet.e1[0][lane], packet.e1[1][lane], packet.e1[2][lane]};
  const Vector3 e2{packet.e2[0][lane], packet.e2[1][lane], packet.e2[2][lane]};
  const Vector3 normal = Cross(e1, e2);
  const Vector3 w0 = origin - end;
  const float den = Dot(w0, normal);
  if (den <= 0.0f) return false;
  const Vector3 a = origin - p0;
  t = Dot(a, normal);
  if (t < 0.0f || t > den) return false;
  const Vector3 e = Cross(w0, a);
  u = Dot(e2, e);
  if (u < 0.0f || u > den) return false;
  v = -Dot(e1, e);
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
  const TrianglePacket* const allPackets = packets.data();
  if (ray.rangedTest == 1) {
    Walk(traversalNodes.data(), ray.origin, direction, tmin, tmax, hit,
         [&](const TraversalNode& leaf, float leafMin, float leafMax) {
           const TrianglePacket* packet = allPackets + (leaf.word >> 2);
           const TrianglePacket* const last = packet + (leaf.leafCount + 3) / 4;
           for (; packet != last; ++packet) {
             float t[4], u[4], v[4];
             int hits = RangedTest(*packet, ray.origin, direction, leafMin, leafMax, t, u, v);
             if (hits == 0) continue;
             if (ray.anyHit) return stoppedAtAnyHit = true;
             // Lanes in list order, so of two equally near triangles the earlier one stays.
             for (int lane = 0; hits != 0; ++lane, hits >>= 1) {
               if ((hits & 1) && t[lane] < hit.distance) hit = {packet->triangle[lane], hit.point, t[lane], u[lane], v[lane]};
             }
           }
           return false;
         });
  } else {
    // The segment test gives fractions of the segment; as lengths along it they compare with
    // the walk's ranges. Leaves are tested whole.
    Walk(traversalNodes.data(), ray.origin, direction, tmin, tmax, hit,
         [&](const TraversalNode& leaf, float, float) {
           const TrianglePacket* first = allPackets + (leaf.word >> 2);
           for (uint32_t i = 0; i < leaf.leafCount; ++i) {
             float t, u, v;
             if (!SegmentTest(first[i / 4], static_cast<int>(i % 4), ray.origin, ray.end, t, u, v)) continue;
             if (ray.anyHit) return stoppedAtAnyHit = true;
             if (t * length < hit.distance) hit = {first[i / 4].triangle[i % 4], hit.point, t * length, u, v};
           }
           return false;
         });
  }
  return stoppedAtAnyHit || hit.triangle >= 0;
}

}  // namespace RenderLib
