#include "renderlib/kd_tree_axis_caster.h"

#include "renderlib/kd_tree_axis_walk.h"
#include "renderlib/kd_tree_lanes.h"
#include "renderlib/sse_lanes.h"

namespace RenderLib {

bool AxisWalkSse(const KdTree& tree, const KdRay& ray, const Vector3& direction, int axis, float tmin, float tmax,
                 KdHit& hit, KdAxisPath& path) {
  return AxisWalk<SseLanes>(tree, ray, direction, axis, tmin, tmax, hit, path);
}

KdAxisCaster::KdAxisCaster(const KdTree& tree, const TriangleSoup& soup, int axis, float start, float end)
    : tree(tree), soup(soup), axis(axis), start(start), end(end) {
  const BoundingBox& bounds = tree.Bounds();
  for (int a = 0; a < 3; ++a) {
    // With no bounds every ray misses, as the query's own clip says; the query is used as it is.
    if (!(bounds.min[a] <= bounds.max[a])) return;
  }
  // A ray through the middle of the bounds passes the clip across the axis; what the clip does
  // along the axis is the same for every ray.
  const Vector3 middle = (bounds.min + bounds.max) * 0.5f;
  const KdRay ray = MakeRay(middle);
  Vector3 d = ray.end - ray.origin;
  const float length = Length(d);
  if (length >= 0.00001f) d = d / length;
  // Only exact unit directions along the axis take the shared route: then the query's clip
  // across the axis is a plain range test of the ray's coordinates.
  for (int a = 0; a < 3; ++a) {
    const float expected = a != axis ? 0.0f : (end > start ? 1.0f : -1.0f);
    if (d[a] != expected) return;
  }
  direction = d;
  tmin = 0.0f;
  tmax = length;
  missesBounds = !ClipToBox(ray.origin, ray.end, bounds, tmin, tmax);
  shared = true;
}

KdRay KdAxisCaster::MakeRay(const Vector3& origin) const {
  KdRay ray;
  ray.origin = origin;
  ray.origin[axis] = start;
  ray.end = ray.origin;
  ray.end[axis] = end;
  ray.rangedTest = 1;
  ray.anyHit = 0;
  return ray;
}

bool KdAxisCaster::Cast(const Vector3& origin, KdHit& hit) {
  const KdRay ray = MakeRay(origin);
  if (!shared) return tree.Intersect(ray, soup, hit);
  if (missesBounds) return false;
  const BoundingBox& bounds = tree.Bounds();
  for (int a = 0; a < 3; ++a) {
    if (a != axis && !(bounds.min[a] <= ray.origin[a] && ray.end[a] <= bounds.max[a])) return false;
  }
  hit.triangle = -1;
  hit.distance = BoundingBox::kLargest;
  return ProcessorHasAvx() ? AxisWalkAvx(tree, ray, direction, axis, tmin, tmax, hit, path)
                           : AxisWalkSse(tree, ray, direction, axis, tmin, tmax, hit, path);
}

}  // namespace RenderLib
