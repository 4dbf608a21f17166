// The axis caster's walk built for AVX (eight lanes); the build compiles this file alone with
// AVX enabled, and the caster calls it only on processors that have it.
#include "renderlib/avx_lanes.h"
#include "renderlib/kd_tree_axis_caster.h"
#include "renderlib/kd_tree_axis_walk.h"

namespace RenderLib {

bool AxisWalkAvx(const KdTree& tree, const KdRay& ray, const Vector3& direction, int axis, float tmin, float tmax,
                 KdHit& hit, KdAxisPath& path) {
  return AxisWalk<AvxLanes>(tree, ray, direction, axis, tmin, tmax, hit, path);
}

}  // namespace RenderLib
