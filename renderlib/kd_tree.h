#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "renderlib/bounding_box.h"
#include "renderlib/kd_node_pool.h"
#include "renderlib/kd_tree_memory.h"
#include "renderlib/vector3.h"

namespace RenderLib {

class TriangleSoup;

// A query: the segment from origin towards end.
struct KdRay {
  Vector3 origin;
  Vector3 end;
  // 1: two-sided ray test limited to each leaf's distance range (what every caller uses).
  // Anything else: one-sided segment test, hitting only triangles that face the origin.
  uint8_t rangedTest = 1;
  uint8_t anyHit = 0;  // non-zero: stop at the first hit found
};

// The nearest hit: triangle t (soup indices 3t..3t+2), its distance from the origin along the
// unit direction, and the barycentric weights u, v of the triangle's second and third vertex.
struct KdHit {
  int32_t triangle = -1;
  Vector3 point;  // not written by the query; callers may keep the hit point here
  float distance = 0.0f;
  float u = 0.0f;
  float v = 0.0f;
};

// A kd-tree over a triangle soup. Built once (Build), then read by any number of threads at
// once (Intersect). Its nodes come from a pool of its own, freed with the tree.
class KdTree {
public:
  // The traversal keeps the far children still to visit on a fixed stack of this many entries;
  // Build never makes a tree deeper than that, whatever depth it is asked for.
  static constexpr int kStackSize = 50;

  KdTree();
  KdTree(const KdTree&) = delete;
  KdTree& operator=(const KdTree&) = delete;
  virtual ~KdTree();

  // Replaces whatever the tree held. maxDepth 24 and leafSize 16 are what the program uses.
  void Build(const TriangleSoup& soup, int32_t maxDepth, int32_t leafSize);

  // Finds the nearest triangle the ray crosses. soup must be the one the tree was built over.
  // Leaves hit untouched when the ray misses the tree's bounds.
  bool Intersect(const KdRay& ray, const TriangleSoup& soup, KdHit& hit) const;

  const KdNode* Root() const { return root; }
  const BoundingBox& Bounds() const { return bounds; }

  // The traversal copy of the tree, laid out for the query: nodes of 8 bytes, children side by
  // side, and per leaf the triangles' first vertex and edges ready for the ray test.
  struct TraversalNode {
    union {
      float split;           // interior node
      uint32_t leafCount;    // leaf: number of its triangles
    };
    uint32_t word;  // low two bits: axis 0..2, or 3 for a leaf; the rest: first child or packet
  };
  // Up to eight triangles of a leaf side by side (first vertex and two edges per component),
  // tested against a ray at once. Lanes past the leaf's end hold zero edges, which never hit.
  static constexpr int kPacketWidth = 8;
  struct alignas(32) TrianglePacket {
    float p0[3][kPacketWidth];
    float e1[3][kPacketWidth];
    float e2[3][kPacketWidth];
    int32_t triangle[kPacketWidth];
  };

  const TraversalNode* TraversalNodes() const { return traversalNodes.data(); }
  const TrianglePacket* Packets() const { return packets.data(); }

private:
  void Clear();
  void BuildTraversalCopy(const TriangleSoup& soup);

  KdNode* root = nullptr;
  BoundingBox bounds;
  std::unique_ptr<KdNodePool> pool;
  std::vector<TraversalNode, TraversalAllocator<TraversalNode>> traversalNodes;
  std::vector<TrianglePacket, TraversalAllocator<TrianglePacket>> packets;
};

// Clips the segment's range [tmin, tmax] (in units of length along its unit direction) to the
// box, slab by slab. False when the segment misses the box.
bool ClipToBox(const Vector3& origin, const Vector3& end, const BoundingBox& box, float& tmin, float& tmax);

}  // namespace RenderLib
