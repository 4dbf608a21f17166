#pragma once

#include "renderlib/kd_tree.h"

namespace RenderLib {

// The ranged query with four-lane SSE registers and with eight-lane AVX registers. Both give
// the same result bit for bit; KdTree::Intersect picks AVX where the processor has it.
// The range is the ray's, already clipped to the tree's bounds, and hit starts out empty.
bool IntersectRangedSse(const KdTree& tree, const KdRay& ray, const Vector3& direction, float tmin, float tmax,
                        KdHit& hit);
bool IntersectRangedAvx(const KdTree& tree, const KdRay& ray, const Vector3& direction, float tmin, float tmax,
                        KdHit& hit);
bool ProcessorHasAvx();

}  // namespace RenderLib
