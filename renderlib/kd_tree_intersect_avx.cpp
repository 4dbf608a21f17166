// The ranged query built for AVX (eight lanes); the build compiles this file alone with AVX
// enabled, and the query calls it only on processors that have it.
#include "renderlib/avx_lanes.h"
#include "renderlib/kd_tree.h"
#include "renderlib/kd_tree_lanes.h"
#include "renderlib/kd_tree_walk.h"

namespace RenderLib {

bool IntersectRangedAvx(const KdTree& tree, const KdRay& ray, const Vector3& direction, float tmin, float tmax,
                        KdHit& hit) {
  return IntersectRanged<AvxLanes>(tree, ray, direction, tmin, tmax, hit);
}

}  // namespace RenderLib
