#pragma once

#include <cstdint>

#include "renderlib/kd_axis_path.h"
#include "renderlib/kd_tree.h"

namespace RenderLib {

// Casts many rays parallel to one axis, all from one plane across the axis to another, as the
// surface sampling does. Each answer is the one KdTree::Intersect gives for that ray, bit for
// bit; what all such rays share (their direction and their clip to the tree's bounds along the
// axis) is worked out once.
class KdAxisCaster {
public:
  // Rays along `axis` (0..2) from the plane at coordinate `start` to the plane at `end`.
  KdAxisCaster(const KdTree& tree, const TriangleSoup& soup, int axis, float start, float end);

  // The nearest hit of the ray whose coordinates off the axis are those of `origin` (its
  // coordinate on the axis is ignored: the ray starts on the start plane). Fastest when each
  // ray lies next to the one before. One caster serves one thread.
  bool Cast(const Vector3& origin, KdHit& hit);

private:
  KdRay MakeRay(const Vector3& origin) const;

  const KdTree& tree;
  const TriangleSoup& soup;
  int axis;
  float start;
  float end;
  // When the shared work is done once: the unit direction and the clipped range.
  bool shared = false;
  bool missesBounds = false;  // the rays' range along the axis misses the tree's bounds
  Vector3 direction;
  float tmin = 0.0f;
  float tmax = 0.0f;
  KdAxisPath path;
};

// The walk of the caster's shared route, with four-lane SSE and eight-lane AVX registers.
bool AxisWalkSse(const KdTree& tree, const KdRay& ray, const Vector3& direction, int axis, float tmin, float tmax,
                 KdHit& hit, KdAxisPath& path);
bool AxisWalkAvx(const KdTree& tree, const KdRay& ray, const Vector3& direction, int axis, float tmin, float tmax,
                 KdHit& hit, KdAxisPath& path);

}  // namespace RenderLib
