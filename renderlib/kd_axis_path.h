#pragma once

#include <cstdint>

#include "renderlib/kd_tree.h"

namespace RenderLib {

// The last path a KdAxisCaster walked (see kd_tree_axis_walk.h): the leaves in the order
// visited, each with its range, the stack where the walk stopped, and the region of coordinates
// across the axis (low, high] whose rays take that path.
struct KdAxisPath {
  static constexpr int kMaxLeaves = 96;
  struct Leaf {
    uint32_t node;
    float tmin, tmax;
  };
  struct Entry {
    uint32_t node;
    float tmin, tmax;
  };
  bool valid = false;
  bool complete = false;  // the walk ran to its end
  int leafCount = 0;
  int stackSize = 0;
  float low[2] = {0, 0};  // on axes (axis + 1) % 3 and (axis + 2) % 3
  float high[2] = {0, 0};
  Leaf leaves[kMaxLeaves];
  Entry stack[KdTree::kStackSize];
};

}  // namespace RenderLib
