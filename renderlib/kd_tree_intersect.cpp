#include <algorithm>
#include <cmath>
#include <utility>

#include "renderlib/kd_tree.h"
#include "renderlib/kd_tree_lanes.h"
#include "renderlib/kd_tree_walk.h"
#include "renderlib/sse_lanes.h"

namespace RenderLib {
namespace {

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

bool ProcessorHasAvx() {
  static const bool hasAvx = __builtin_cpu_supports("avx");
  return hasAvx;
}

bool IntersectRangedSse(const KdTree& tree, const KdRay& ray, const Vector3& direction, float tmin, float tmax,
                        KdHit& hit) {
  return IntersectRanged<SseLanes>(tree, ray, direction, tmin, tmax, hit);
}

bool KdTree::Intersect(const KdRay& ray, const TriangleSoup&, KdHit& hit) const {
  if (traversalNodes.empty()) return false;
  Vector3 direction = ray.end - ray.origin;
  const float length = Length(direction);
  if (length >= 0.00001f) direction = direction / length;
  float tmin = 0.0f;
  float tmax = length;
  if (!ClipToBox(ray.origin, ray.end, bounds, tmin, tmax)) return false;

  hit.triangle = -1;
  hit.distance = kLargest;
  if (ray.rangedTest == 1) {
    return ProcessorHasAvx() ? IntersectRangedAvx(*this, ray, direction, tmin, tmax, hit)
                             : IntersectRangedSse(*this, ray, direction, tmin, tmax, hit);
  }
  bool stoppedAtAnyHit = false;
  const TrianglePacket* const allPackets = packets.data();
  // The one-sided segment test gives fractions of the segment; as lengths along it they
  // compare with the walk's ranges. Leaves are tested whole.
  Walk(traversalNodes.data(), ray.origin, direction, tmin, tmax, hit,
         [&](const TraversalNode& leaf, float, float) {
           const TrianglePacket* first = allPackets + (leaf.word >> 2);
           for (uint32_t i = 0; i < leaf.leafCount; ++i) {
             float t, u, v;
             if (!SegmentTest(first[i / kPacketWidth], static_cast<int>(i % kPacketWidth), ray.origin, ray.end, t, u, v)) continue;
             if (ray.anyHit) return stoppedAtAnyHit = true;
             if (t * length < hit.distance) hit = {first[i / kPacketWidth].triangle[i % kPacketWidth], hit.point, t * length, u, v};
           }
           return false;
         });
  return stoppedAtAnyHit || hit.triangle >= 0;
}

}  // namespace RenderLib
