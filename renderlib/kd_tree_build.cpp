#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "renderlib/float_radix_sort.h"
#include "renderlib/kd_tree.h"
#include "renderlib/triangle_soup.h"

namespace RenderLib {
namespace {

constexpr float kLargest = 3.4028235e38f;
constexpr float kTraversalCost = 0.3f;
constexpr float kTriangleCost = 1.0f;
// Triangles narrower than this along an axis count as lying in a plane they touch.
constexpr float kFlatWidth = 0.001f;
// Nodes with at least this many triangles in the top quarter of the depth range are split at
// the median centroid: one selection instead of a full cost sweep.
constexpr int32_t kMedianSplitCount = 4096;

struct TriangleBounds {
  BoundingBox bounds;
  Vector3 centroid;
};

struct SplitChoice {
  float position = kLargest;
  float cost = kLargest;
};

BoundingBox WithMax(BoundingBox box, int axis, float value) {
  box.max[axis] = value;
  return box;
}

BoundingBox WithMin(BoundingBox box, int axis, float value) {
  box.min[axis] = value;
  return box;
}

bool IsThin(const BoundingBox& box) {
  Vector3 extent = box.Extent();
  return extent.x < 0.1f || extent.y < 0.1f || extent.z < 0.1f;
}

// The surface-area cost of cutting box at s with the given triangle counts on each side. A cut
// that isolates a non-thin empty region costs only the traversal.
float SplitCost(const BoundingBox& box, int axis, float s, int32_t leftCount, int32_t rightCount) {
  const BoundingBox leftBox = WithMax(box, axis, s);
  const BoundingBox rightBox = WithMin(box, axis, s);
  const float area = box.SurfaceArea();
  const float pLeft = leftBox.SurfaceArea() / area;
  const float pRight = rightBox.SurfaceArea() / area;
  const float bonus = ((leftCount == 0 && !IsThin(leftBox)) || (rightCount == 0 && !IsThin(rightBox))) ? 1.0f : 0.0f;
  return (1.0f - bonus) * kTriangleCost * (static_cast<float>(leftCount) * pLeft + static_cast<float>(rightCount) * pRight) +
         kTraversalCost;
}

// SplitCost of four candidate planes at once, lane by lane the same operations in the same
// order (a product or sum of two numbers is the same either way round), so every cost comes
// out the same to the last bit. Only the box's extent on `axis` changes from one candidate to
// the next; the other two are in extent.
template <int axis>
__m128 AreaWith(__m128 a, const Vector3& e) {
  const __m128 two = _mm_set1_ps(2.0f);
  if constexpr (axis == 0) {
    const __m128 y = _mm_set1_ps(e.y), z = _mm_set1_ps(e.z);
    return _mm_mul_ps(two, _mm_add_ps(_mm_add_ps(_mm_mul_ps(a, y), _mm_mul_ps(a, z)), _mm_mul_ps(y, z)));
  } else if constexpr (axis == 1) {
    const __m128 x = _mm_set1_ps(e.x), z = _mm_set1_ps(e.z);
    return _mm_mul_ps(two, _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, a), _mm_mul_ps(x, z)), _mm_mul_ps(a, z)));
  } else {
    const __m128 x = _mm_set1_ps(e.x), y = _mm_set1_ps(e.y);
    return _mm_mul_ps(two, _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, y), _mm_mul_ps(x, a)), _mm_mul_ps(y, a)));
  }
}

// The cheapest of `count` candidate planes (positions with their left and right triangle
// counts, each array readable up to a multiple of four), the lowest on equal costs.
template <int axis>
SplitChoice CheapestCandidate(const BoundingBox& box, const float* positions, const int32_t* lefts, const int32_t* rights,
                              size_t count) {
  const Vector3 extent = box.Extent();
  const __m128 boxMin = _mm_set1_ps(box.min[axis]), boxMax = _mm_set1_ps(box.max[axis]);
  const __m128 area = _mm_set1_ps(box.SurfaceArea());
  const __m128 tenth = _mm_set1_ps(0.1f), one = _mm_set1_ps(1.0f);
  const bool othersThin = extent[(axis + 1) % 3] < 0.1f || extent[(axis + 2) % 3] < 0.1f;
  const __m128 otherThin = othersThin ? _mm_castsi128_ps(_mm_set1_epi32(-1)) : _mm_setzero_ps();
  SplitChoice best;
  alignas(16) float costs[4];
  for (size_t k = 0; k < count; k += 4) {
    const __m128 s = _mm_loadu_ps(positions + k);
    const __m128i left = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lefts + k));
    const __m128i right = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rights + k));
    const __m128 leftWidth = _mm_sub_ps(s, boxMin), rightWidth = _mm_sub_ps(boxMax, s);
    const __m128 pLeft = _mm_div_ps(AreaWith<axis>(leftWidth, extent), area);
    const __m128 pRight = _mm_div_ps(AreaWith<axis>(rightWidth, extent), area);
    const __m128 leftThin = _mm_or_ps(otherThin, _mm_cmplt_ps(leftWidth, tenth));
    const __m128 rightThin = _mm_or_ps(otherThin, _mm_cmplt_ps(rightWidth, tenth));
    const __m128 leftEmpty = _mm_castsi128_ps(_mm_cmpeq_epi32(left, _mm_setzero_si128()));
    const __m128 rightEmpty = _mm_castsi128_ps(_mm_cmpeq_epi32(right, _mm_setzero_si128()));
    const __m128 bonus = _mm_and_ps(_mm_or_ps(_mm_andnot_ps(leftThin, leftEmpty), _mm_andnot_ps(rightThin, rightEmpty)), one);
    const __m128 weight = _mm_mul_ps(_mm_sub_ps(one, bonus), _mm_set1_ps(kTriangleCost));
    const __m128 sides = _mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(left), pLeft), _mm_mul_ps(_mm_cvtepi32_ps(right), pRight));
    const __m128 cost = _mm_add_ps(_mm_mul_ps(weight, sides), _mm_set1_ps(kTraversalCost));
    if (_mm_movemask_ps(_mm_cmplt_ps(cost, _mm_set1_ps(best.cost))) == 0) continue;
    _mm_store_ps(costs, cost);
    for (size_t lane = 0; lane < 4 && k + lane < count; ++lane) {
      if (costs[lane] < best.cost) {
        best.cost = costs[lane];
        best.position = positions[k + lane];
      }
    }
    // No cut costs less than the traversal alone, so nothing later can be strictly cheaper.
    if (best.cost <= kTraversalCost) break;
  }
  return best;
}

// One end of a triangle's extent on an axis, kept in a list sorted by position that holds both
// ends of every triangle. The top bit of `tagged` marks a triangle that counts as lying in a
// plane at that end, the next bit an upper end; the rest is the triangle's number (a soup has
// fewer than 2^30 triangles: its index count is a signed 32-bit number).
struct Edge {
  float position;
  uint32_t tagged;
};
constexpr uint32_t kFlatTag = 0x80000000u;
constexpr uint32_t kUpperTag = 0x40000000u;
constexpr uint32_t kTriangleBits = kUpperTag - 1;

// Splits nodes depth first. The cost sweep needs each node's box edges sorted per axis; rather
// than sorting them again in every node, a node sorts them once and hands each child the part
// of its sorted lists that belongs to it, which keeps the order for free.
class TreeBuilder {
public:
  TreeBuilder(KdNodePool& pool, const std::vector<TriangleBounds>& records, int32_t maxDepth, int32_t leafSize)
      : pool(pool), records(records), maxDepth(maxDepth), leafSize(leafSize), sides(records.size()) {}

  // edgeStart: where the node's sorted edge lists begin in `edges`, or kNoEdges.
  // The node's triangles are its own list (listStart kOwnList, the root) or `count` entries
  // of the list stack from listStart: lists of nodes that are split again are only scratch, so
  // only leaves get lists of their own. edgeStart: where the node's sorted edge lists begin in
  // `edges`, or kNoEdges.
  void BuildNode(KdNode* node, int32_t depth, const BoundingBox& box, size_t listStart, int32_t count, size_t edgeStart) {
    if (count <= leafSize || depth >= maxDepth) return KeepAsLeaf(node, listStart, count);

    const size_t savedTop = edgeTop;
    const size_t savedListTop = listTop;
    const bool sweep = depth > maxDepth / 4 || count < kMedianSplitCount;
    if (sweep && edgeStart == kNoEdges) edgeStart = SortEdges(Triangles(node, listStart), count);

    const float leafCost = static_cast<float>(count) * kTriangleCost;
    SplitChoice best;
    int bestAxis = 0;
    for (int axis = 0; axis < 3; ++axis) {
      SplitChoice choice;
      if (sweep) {
        choice = SahSplit(edgeStart, static_cast<size_t>(count), axis, box);
      } else {
        choice.position = MedianSplit(Triangles(node, listStart), count, axis);
        choice.cost = CostAt(Triangles(node, listStart), count, axis, box, choice.position);
      }
      // Ties keep the earlier axis.
      if (axis == 0 || choice.cost < best.cost) {
        best = choice;
        bestAxis = axis;
      }
    }
    const BoundingBox leftBox = WithMax(box, bestAxis, best.position);
    const BoundingBox rightBox = WithMin(box, bestAxis, best.position);
    auto halfWidth = [bestAxis](const BoundingBox& b) {
      return b.max[bestAxis] - (b.max[bestAxis] + b.min[bestAxis]) * 0.5f;
    };
    if (best.cost >= leafCost || halfWidth(leftBox) < 0.001f || halfWidth(rightBox) < 0.001f) {
      edgeTop = savedTop;
      return KeepAsLeaf(node, listStart, count);
    }

    // A triangle whose box touches the plane goes to both sides. Every triangle listed in a node
    // overlaps the node's box, so it overlaps a child's box exactly when it reaches the plane
    // from that side. The sides are counted first so each child's list is laid out once.
    int32_t leftCount = 0, rightCount = 0;
    {
      const int32_t* triangles = Triangles(node, listStart);
      for (int32_t i = 0; i < count; ++i) {
        const BoundingBox& bounds = records[triangles[i]].bounds;
        const uint8_t side = static_cast<uint8_t>((bounds.min[bestAxis] <= best.position ? 1 : 0) |
                                                  (bounds.max[bestAxis] >= best.position ? 2 : 0));
        sides[static_cast<size_t>(triangles[i])] = side;
        leftCount += side & 1;
        rightCount += side >> 1;
      }
    }
    const size_t leftList = PushList(leftCount);
    const size_t rightList = PushList(rightCount);
    {
      const int32_t* triangles = Triangles(node, listStart);
      int32_t* leftItems = lists.data() + leftList;
      int32_t* rightItems = lists.data() + rightList;
      for (int32_t i = 0; i < count; ++i) {
        const int32_t t = triangles[i];
        const uint8_t side = sides[static_cast<size_t>(t)];
        if (side & 1) *leftItems++ = t;
        if (side & 2) *rightItems++ = t;
      }
    }

    // Both children's edges are taken before either is built: building one overwrites the
    // side marks the other still needs.
    size_t leftEdges = kNoEdges, rightEdges = kNoEdges;
    if (edgeStart != kNoEdges) {
      if (NeedsSplitting(leftCount, depth + 1)) leftEdges = PushEdges(6 * static_cast<size_t>(leftCount));
      if (NeedsSplitting(rightCount, depth + 1)) rightEdges = PushEdges(6 * static_cast<size_t>(rightCount));
      SplitEdges(edgeStart, static_cast<size_t>(count), leftEdges, rightEdges);
    }

    KdNode* children = pool.Take(2);
    node->axis = bestAxis;
    node->split = best.position;
    node->children = children;
    node->triangles = {};
    const size_t childrenTop = edgeTop;
    const size_t childrenListTop = listTop;
    BuildNode(&children[0], depth + 1, leftBox, leftList, leftCount, leftEdges);
    edgeTop = childrenTop;
    listTop = childrenListTop;
    BuildNode(&children[1], depth + 1, rightBox, rightList, rightCount, rightEdges);
    edgeTop = savedTop;
    listTop = savedListTop;
  }

  static constexpr size_t kOwnList = SIZE_MAX;
  static constexpr size_t kNoEdges = SIZE_MAX;

private:
  bool NeedsSplitting(int32_t count, int32_t depth) const { return count > leafSize && depth < maxDepth; }

  const int32_t* Triangles(KdNode* node, size_t listStart) const {
    return listStart == kOwnList ? node->triangles.data() : lists.data() + listStart;
  }

  // A leaf lists its triangles in a list of its own, allocated at its final size.
  void KeepAsLeaf(KdNode* node, size_t listStart, int32_t count) {
    if (listStart == kOwnList) return;
    node->triangles.assign(lists.data() + listStart, lists.data() + listStart + count);
  }

  // Room for `count` triangle numbers on top of the list stack; returns where they start.
  size_t PushList(int32_t count) {
    const size_t start = listTop;
    listTop += static_cast<size_t>(count);
    if (lists.size() < listTop) lists.resize(std::max(listTop, lists.size() * 2));
    return start;
  }

  // Room for `count` more edges on top of the stack, and one spare after them that SplitEdges
  // may write past their end; returns where they start.
  size_t PushEdges(size_t count) {
    const size_t start = edgeTop;
    edgeTop += count + 1;
    if (edges.size() < edgeTop) edges.resize(std::max(edgeTop, edges.size() * 2));
    return start;
  }

  // Lays out the node's three sorted edge lists, one per axis, of 2n edges each.
  size_t SortEdges(const int32_t* triangles, int32_t count) {
    const size_t n = static_cast<size_t>(count);
    const size_t start = PushEdges(6 * n);
    for (int axis = 0; axis < 3; ++axis) {
      Edge* list = &edges[start + 2 * static_cast<size_t>(axis) * n];
      for (size_t i = 0; i < n; ++i) {
        const int32_t t = triangles[i];
        const float lo = records[t].bounds.min[axis];
        const float hi = records[t].bounds.max[axis];
        const float width = hi - lo;
        list[2 * i] = {lo, static_cast<uint32_t>(t) | (width < kFlatWidth ? kFlatTag : 0u)};
        list[2 * i + 1] = {hi, static_cast<uint32_t>(t) | kUpperTag | (width <= kFlatWidth ? kFlatTag : 0u)};
      }
      sortScratch.resize(std::max(sortScratch.size(), 2 * n));
      SortByFloatKey(list, sortScratch.data(), 2 * n, [](const Edge& edge) { return edge.position; });
    }
    return start;
  }

  // Copies the edges of the triangles marked left and right into the children's lists (each
  // kNoEdges when that child needs none), keeping their sorted order.
  void SplitEdges(size_t from, size_t n, size_t leftStart, size_t rightStart) {
    Edge unused[1];
    const Edge* source = &edges[from];
    Edge* left = leftStart != kNoEdges ? &edges[leftStart] : unused;
    Edge* right = rightStart != kNoEdges ? &edges[rightStart] : unused;
    const uint8_t leftSide = leftStart != kNoEdges ? 1 : 0;
    const uint8_t rightSide = rightStart != kNoEdges ? 2 : 0;
    for (size_t i = 0; i < 6 * n; ++i) {
      const Edge edge = source[i];
      const uint8_t side = sides[edge.tagged & kTriangleBits];
      *left = edge;
      left += (side & leftSide) != 0;
      *right = edge;
      right += (side & rightSide) != 0;
    }
  }

  // Sweeps the triangles' box edges on the axis as candidate planes and returns the cheapest.
  //
  // At a candidate s a triangle with extent [lo, hi] (width w) counts on the left when lo < s,
  // or lo = s with w < kFlatWidth, and on the right when hi > s, or hi = s with w <= kFlatWidth:
  // a triangle lying flat in the plane counts on both sides. Both counts depend on s alone, so
  // they come from one walk along the sorted edges, which are the candidates themselves.
  SplitChoice SahSplit(size_t edgeStart, size_t n, int axis, const BoundingBox& box) {
    const Edge* list = &edges[edgeStart + 2 * static_cast<size_t>(axis) * n];
    const size_t end = 2 * n;
    const float boxMin = box.min[axis];
    const float boxMax = box.max[axis];
    // The candidates are the edges in order. lowsBelow and highsBelow count the lower and upper
    // ends passed so far, all of them below the next candidate.
    // Room for every edge as a candidate, and a multiple of four for the cost lanes.
    if (positions.size() < end + 4) {
      positions.resize(2 * end + 4);
      lefts.resize(2 * end + 4);
      rights.resize(2 * end + 4);
    }
    size_t next = 0, lowsBelow = 0, highsBelow = 0;
    // Those not above the box's min are passed over.
    for (; next < end && !(list[next].position > boxMin); ++next) {
      const size_t upper = (list[next].tagged & kUpperTag) != 0;
      highsBelow += upper;
      lowsBelow += 1 - upper;
    }
    // One step per edge, without branches that depend on the data: an edge at least 0.00001
    // past the last candidate s starts a new candidate, whose counts begin with the lower ends
    // below it on the left and the upper ends not below it on the right; edges at s itself
    // then add the flat triangles starting there to the left and take the solid ones ending
    // there off the right. Closer edges are passed over. Slot `last` always holds the newest
    // candidate's counts so far.
    ptrdiff_t last = -1;
    float s = -std::numeric_limits<float>::infinity();
    int32_t left = 0, right = 0;
    for (; next < end; ++next) {
      const float position = list[next].position;
      const uint32_t tagged = list[next].tagged;
      const bool fresh = position - s >= 0.00001f;
      if (fresh && !(position < boxMax)) break;
      last += fresh;
      s = fresh ? position : s;
      left = fresh ? static_cast<int32_t>(lowsBelow) : left;
      right = fresh ? static_cast<int32_t>(n - highsBelow) : right;
      const bool at = position == s, flat = (tagged & kFlatTag) != 0, upper = (tagged & kUpperTag) != 0;
      left += at && !upper && flat;
      right -= at && upper && !flat;
      // The first edge always starts a candidate (s is -infinity before it), so last >= 0.
      positions[static_cast<size_t>(last)] = s;
      lefts[static_cast<size_t>(last)] = left;
      rights[static_cast<size_t>(last)] = right;
      highsBelow += upper;
      lowsBelow += !upper;
    }
    const size_t candidates = static_cast<size_t>(last + 1);
    switch (axis) {
      case 0: return CheapestCandidate<0>(box, positions.data(), lefts.data(), rights.data(), candidates);
      case 1: return CheapestCandidate<1>(box, positions.data(), lefts.data(), rights.data(), candidates);
      default: return CheapestCandidate<2>(box, positions.data(), lefts.data(), rights.data(), candidates);
    }
  }

  // The median of the triangles' centroids on the axis (the mean of the two middle values
  // for an even count).
  float MedianSplit(const int32_t* triangles, int32_t count, int axis) {
    centroids.clear();
    for (int32_t i = 0; i < count; ++i) centroids.push_back(records[triangles[i]].centroid[axis]);
    const size_t n = centroids.size();
    const size_t upper = n / 2;
    const size_t lower = (n - 1) / 2;
    std::nth_element(centroids.begin(), centroids.begin() + upper, centroids.end());
    const float high = centroids[upper];
    if (lower == upper) return high;
    const float low = *std::max_element(centroids.begin(), centroids.begin() + upper);
    return low + (high - low) * 0.5f;
  }

  // The cost of cutting at s, counting sides exactly as the sweep does.
  float CostAt(const int32_t* triangles, int32_t count, int axis, const BoundingBox& box, float s) const {
    int32_t leftCount = 0, rightCount = 0;
    for (int32_t i = 0; i < count; ++i) {
      const int32_t t = triangles[i];
      const float lo = records[t].bounds.min[axis];
      const float hi = records[t].bounds.max[axis];
      const float width = hi - lo;
      if (lo < s || (lo == s && width < kFlatWidth)) ++leftCount;
      if (hi > s || (hi == s && width <= kFlatWidth)) ++rightCount;
    }
    return SplitCost(box, axis, s, leftCount, rightCount);
  }

  KdNodePool& pool;
  const std::vector<TriangleBounds>& records;
  int32_t maxDepth;
  int32_t leafSize;
  std::vector<uint8_t> sides;  // per triangle: 1 left, 2 right, 3 both, for the node being split
  std::vector<Edge> edges;     // a stack of sorted edge lists, three per node that has them
  std::vector<Edge> sortScratch;
  std::vector<int32_t> lists;  // a stack of the triangle lists of nodes still to be built
  size_t listTop = 0;
  size_t edgeTop = 0;
  std::vector<float> centroids;
  // The sweep's candidate planes with their triangle counts on each side.
  std::vector<float> positions;
  std::vector<int32_t> lefts, rights;
};

bool IsFinite(const Vector3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

}  // namespace

KdTree::KdTree() : pool(std::make_unique<KdNodePool>()) {}

KdTree::~KdTree() = default;

void KdTree::Clear() {
  root = nullptr;
  bounds = BoundingBox();
  pool = std::make_unique<KdNodePool>();
  traversalNodes.clear();
  packets.clear();
}

void KdTree::Build(const TriangleSoup& soup, int32_t maxDepth, int32_t leafSize) {
  Clear();
  // One stack entry per level of the deepest path keeps the traversal within its stack.
  maxDepth = std::clamp(maxDepth, 0, kStackSize);
  root = pool->Take(1);

  const int32_t n = soup.GetIndexCount() / 3;
  const int32_t* indices = soup.GetIndices();
  const VertexNormalUV* vertices = soup.GetVertices();
  std::vector<TriangleBounds> records(static_cast<size_t>(std::max(n, 0)));
  root->triangles.reserve(records.size());
  for (int32_t t = 0; t < n; ++t) {
    const Vector3& p0 = vertices[indices[3 * t]].position;
    const Vector3& p1 = vertices[indices[3 * t + 1]].position;
    const Vector3& p2 = vertices[indices[3 * t + 2]].position;
    // A triangle with a coordinate that is not a number can never be hit; leaving it out keeps
    // the sorting of the build well defined.
    if (!IsFinite(p0) || !IsFinite(p1) || !IsFinite(p2)) continue;
    TriangleBounds& record = records[static_cast<size_t>(t)];
    record.centroid = (p0 + p1 + p2) * 0.33333334f;
    record.bounds.Extend(p0);
    record.bounds.Extend(p1);
    record.bounds.Extend(p2);
    root->triangles.push_back(t);
    for (int axis = 0; axis < 3; ++axis) {
      bounds.min[axis] = std::min(bounds.min[axis], record.bounds.min[axis]);
      bounds.max[axis] = std::max(bounds.max[axis], record.bounds.max[axis]);
    }
  }
  if (!root->triangles.empty()) {
    const Vector3 padding = bounds.Extent() * 0.00001f;
    bounds.min -= padding;
    bounds.max += padding;
  }

  TreeBuilder(*pool, records, maxDepth, leafSize)
      .BuildNode(root, 0, bounds, TreeBuilder::kOwnList, static_cast<int32_t>(root->triangles.size()), TreeBuilder::kNoEdges);
  BuildTraversalCopy(soup);
}

void KdTree::BuildTraversalCopy(const TriangleSoup& soup) {
  const int32_t* indices = soup.GetIndices();
  const VertexNormalUV* vertices = soup.GetVertices();
  // Both arrays are sized up front: growing them would copy them over and over.
  size_t nodeCount = 0, packetCount = 0;
  std::vector<const KdNode*> counting{root};
  while (!counting.empty()) {
    const KdNode* node = counting.back();
    counting.pop_back();
    ++nodeCount;
    if (node->IsLeaf()) {
      packetCount += (node->triangles.size() + kPacketWidth - 1) / kPacketWidth;
    } else {
      counting.push_back(&node->children[0]);
      counting.push_back(&node->children[1]);
    }
  }
  traversalNodes.reserve(nodeCount);
  packets.reserve(packetCount);
  traversalNodes.assign(1, TraversalNode{});
  struct Pending {
    const KdNode* node;
    size_t slot;
  };
  std::vector<Pending> pending{{root, 0}};
  while (!pending.empty()) {
    Pending item = pending.back();
    pending.pop_back();
    TraversalNode& out = traversalNodes[item.slot];
    if (item.node->IsLeaf()) {
      const std::vector<int32_t>& triangles = item.node->triangles;
      out.leafCount = static_cast<uint32_t>(triangles.size());
      out.word = static_cast<uint32_t>(packets.size()) << 2 | 3u;
      for (size_t first = 0; first < triangles.size(); first += kPacketWidth) {
        // Filled in place: the array is sized already, so the reference stays valid.
        TrianglePacket& packet = packets.emplace_back();
        for (int lane = 0; lane < kPacketWidth; ++lane) {
          packet.triangle[lane] = -1;
          if (first + lane >= triangles.size()) continue;
          const int32_t t = triangles[first + lane];
          const Vector3& p0 = vertices[indices[3 * t]].position;
          const Vector3 e1 = vertices[indices[3 * t + 1]].position - p0;
          const Vector3 e2 = vertices[indices[3 * t + 2]].position - p0;
          for (int axis = 0; axis < 3; ++axis) {
            packet.p0[axis][lane] = p0[axis];
            packet.e1[axis][lane] = e1[axis];
            packet.e2[axis][lane] = e2[axis];
          }
          packet.triangle[lane] = t;
        }
      }
      continue;
    }
    const size_t first = traversalNodes.size();
    out.split = item.node->split;
    out.word = static_cast<uint32_t>(first) << 2 | static_cast<uint32_t>(item.node->axis);
    traversalNodes.resize(first + 2);
    pending.push_back({&item.node->children[1], first + 1});
    pending.push_back({&item.node->children[0], first});
  }
  // The arrays hold exactly what was reserved, so capacity is what was allocated.
  AdviseFilledTraversalMemory(traversalNodes.data(), traversalNodes.capacity() * sizeof(TraversalNode));
  AdviseFilledTraversalMemory(packets.data(), packets.capacity() * sizeof(TrianglePacket));
}

}  // namespace RenderLib
