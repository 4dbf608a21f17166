#include "simulation/sample_map.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "renderlib/bounding_box.h"

namespace Simulation {
namespace {

using RenderLib::Vector3;

// Builds the heap order: for each heap position, which record of the input goes there, and
// its split axis. It works on a compact copy of the positions (16 bytes per record instead of
// a whole record reached through an index), so the selections stream through memory instead
// of missing the cache at every comparison; the swaps are the same, and so is the order.
class Balancer {
public:
  struct Entry {
    float position[3];
    uint32_t record;
  };

  Balancer(const SurfaceSample* records, uint32_t count, Vector3 boundsMin, Vector3 boundsMax)
      : heap(count + 1), axes(count + 1), list(count + 1), boundsMin(boundsMin), boundsMax(boundsMax) {
    for (uint32_t i = 1; i <= count; ++i) {
      const Vector3& p = records[i - 1].position;
      list[i] = {{p.x, p.y, p.z}, i - 1};
    }
  }

  // heap[k] = index of the record for heap position k; axes[k] its split axis.
  void Run(uint32_t count) { BalanceSegment(1, 1, count); }

  std::vector<uint32_t> heap;
  std::vector<uint8_t> axes;

private:
  // Partially sorts list[start .. end] on axis so that list[median] has no smaller
  // coordinate after it and no larger one before it.
  void Select(uint32_t start, uint32_t end, uint32_t median, int axis) {
    Entry* entries = list.data();
    uint32_t left = start;
    uint32_t right = end;
    while (right > left) {
      const float pivot = entries[right].position[axis];
      uint32_t i = left - 1;
      uint32_t j = right;
      for (;;) {
        while (entries[++i].position[axis] < pivot) {
        }
        while (entries[--j].position[axis] > pivot && j > left) {
        }
        if (i >= j) break;
        std::swap(entries[i], entries[j]);
      }
      std::swap(entries[i], entries[right]);
      if (i >= median) right = i - 1;
      if (i <= median) left = i + 1;
    }
  }

  void BalanceSegment(uint32_t k, uint32_t start, uint32_t end) {
    const uint32_t n = end - start + 1;
    uint32_t m = 1;
    while (4 * m <= n) m *= 2;
    const uint32_t median = (3 * m <= n) ? start + 2 * m - 1 : end - m + 1;

    const Vector3 extent = boundsMax - boundsMin;
    int axis = 2;
    if (extent.x > extent.y && extent.x > extent.z) {
      axis = 0;
    } else if (extent.y > extent.z) {
      axis = 1;
    }

    Select(start, end, median, axis);
    heap[k] = list[median].record;
    axes[k] = static_cast<uint8_t>(axis);
    const float split = list[median].position[axis];

    if (start < median) {
      if (median - start == 1) {
        heap[2 * k] = list[start].record;
      } else {
        const float saved = boundsMax[axis];
        boundsMax[axis] = split;
        BalanceSegment(2 * k, start, median - 1);
        boundsMax[axis] = saved;
      }
    }
    if (median < end) {
      if (end - median == 1) {
        heap[2 * k + 1] = list[end].record;
      } else {
        const float saved = boundsMin[axis];
        boundsMin[axis] = split;
        BalanceSegment(2 * k + 1, median + 1, end);
        boundsMin[axis] = saved;
      }
    }
  }

  std::vector<Entry> list;
  Vector3 boundsMin;
  Vector3 boundsMax;
};

// Moves record heap[k] to index k - 1 for every k, following the permutation's cycles so that
// only one record is held aside at a time.
void PermuteIntoHeapOrder(SurfaceSample* records, std::vector<uint32_t>& heap, uint32_t count) {
  for (uint32_t start = 1; start <= count; ++start) {
    if (heap[start] == start - 1) continue;
    SurfaceSample held = records[start - 1];
    uint32_t k = start;
    for (;;) {
      uint32_t source = heap[k];
      heap[k] = k - 1;  // marks position k as settled
      if (source == start - 1) {
        records[k - 1] = held;
        break;
      }
      records[k - 1] = records[source];
      k = source + 1;
    }
  }
}

// The same order gathered into a new array: the reads still jump about, but they do not wait
// on each other as the cycles' do, so they can be fetched ahead. Returns nullptr (and leaves
// the records alone) when there is no memory for the copy.
SurfaceSample* GatherIntoHeapOrder(const SurfaceSample* records, const std::vector<uint32_t>& heap, uint32_t count) {
  auto* ordered = static_cast<SurfaceSample*>(std::malloc(size_t(count) * sizeof(SurfaceSample)));
  if (ordered == nullptr) return nullptr;
  constexpr uint32_t kAhead = 16;
  for (uint32_t k = 1; k <= count; ++k) {
    if (k + kAhead <= count) {
      const char* next = reinterpret_cast<const char*>(records + heap[k + kAhead]);
      __builtin_prefetch(next);
      __builtin_prefetch(next + sizeof(SurfaceSample) - 1);
    }
    ordered[k - 1] = records[heap[k]];
  }
  return ordered;
}

}  // namespace

SampleMap::SampleMap(SampleArray& samples) {
  items = samples.Release(count);
  RenderLib::BoundingBox bounds;
  for (uint32_t i = 0; i < count; ++i) bounds.Extend(items[i].position);
  boundsMin = bounds.min;
  boundsMax = bounds.max;
  Balance();
  BuildSearchNodes();
}

SampleMap::~SampleMap() { std::free(items); }

void SampleMap::Balance() {
  if (count <= 1) return;
  Balancer balancer(items, count, boundsMin, boundsMax);
  balancer.Run(count);
  // A record that ends as a single leaf child keeps the axis it had; every other one gets its
  // node's axis, as the balancing sets it.
  for (uint32_t k = 1; k <= count; ++k) {
    if (2 * k <= count || k == 1) items[balancer.heap[k]].splitAxis = balancer.axes[k];
  }
  if (SurfaceSample* ordered = GatherIntoHeapOrder(items, balancer.heap, count)) {
    std::free(items);
    items = ordered;
  } else {
    PermuteIntoHeapOrder(items, balancer.heap, count);
  }
}

void SampleMap::BuildSearchNodes() {
  searchNodes.reset(new SearchNode[count + 1]());
  for (uint32_t k = 1; k <= count; ++k) {
    const SurfaceSample& record = items[k - 1];
    searchNodes[k] = {{record.position.x, record.position.y, record.position.z}, record.splitAxis & 3u};
  }
}

}  // namespace Simulation

namespace Simulation {
namespace {

// One k-nearest search. The list fills in the order records are found; once full it becomes a
// max-heap on distance whose root is the current bound, so every later find costs a sift.
template <bool kFetchRecords>
class NearestSearch {
public:
  NearestSearch(const SampleMap& map, const SampleMap::SearchNode* nodes, uint32_t count, const Vector3& point,
                int maxCount, float radius, NeighbourList& list)
      : map(map), nodes(nodes), count(count), point{point.x, point.y, point.z}, maxCount(maxCount), list(list) {
    bound = radius * radius;
    list.records[0] = nullptr;
    list.squaredDistances[0] = bound;
  }

  int Run() {
    Visit(1);
    return found;
  }

private:
  // Visits the subtree at heap position k: the child on the query's side of the split first,
  // the other one if the split plane lies within the bound, the node itself last.
  void Visit(uint32_t k) {
    const SampleMap::SearchNode& node = nodes[k];
    const uint32_t left = 2 * k;
    if (left <= count) {
      const float delta = point[node.splitAxis] - node.position[node.splitAxis];
      const uint32_t rightFirst = delta > 0.0f ? 1u : 0u;
      const uint32_t nearChild = left + rightFirst;
      const uint32_t farChild = left + (1u - rightFirst);
      if (nearChild <= count) VisitChild(nearChild);
      if (delta * delta < bound && farChild <= count) VisitChild(farChild);
    }
    Test(k);
  }

  // Half the nodes are leaves; testing those directly saves a call each.
  void VisitChild(uint32_t k) {
    if (2 * k > count) {
      Test(k);
    } else {
      Visit(k);
    }
  }

  void Test(uint32_t k) {
    const SampleMap::SearchNode& node = nodes[k];
    const float dx = node.position[0] - point[0];
    const float dy = node.position[1] - point[1];
    const float dz = node.position[2] - point[2];
    const float distanceSquared = dx * dx + dy * dy + dz * dz;
    if (distanceSquared < bound) Take(k, distanceSquared);
  }

  void Take(uint32_t k, float distanceSquared) {
    SurfaceSample* record = const_cast<SurfaceSample*>(map.Items()) + (k - 1);
    if constexpr (kFetchRecords) {
      // Into the second-level cache, so the nodes the search still walks keep the first.
      __builtin_prefetch(record, 0, 1);
      __builtin_prefetch(reinterpret_cast<const char*>(record) + 47, 0, 1);
    }
    if (found < maxCount) {
      ++found;
      list.records[found] = record;
      list.squaredDistances[found] = distanceSquared;
      return;
    }
    if (!isHeap) {
      for (int i = found / 2; i >= 1; --i) SiftDown(i, list.records[i], list.squaredDistances[i]);
      isHeap = true;
      // Until now the bound was the radius; a find between the farthest entry and the radius
      // must not push out a nearer one.
      bound = list.squaredDistances[1];
      if (!(distanceSquared < bound)) return;
    }
    SiftDown(1, record, distanceSquared);
    bound = list.squaredDistances[1];
  }

  // Places (record, distance) at heap position i or below, moving larger children up.
  void SiftDown(int i, SurfaceSample* record, float distanceSquared) {
    for (;;) {
      int child = 2 * i;
      if (child > found) break;
      // The larger child, the left one on a tie; without a branch, since which one it is can't
      // be predicted. With no right child the left one is compared with itself.
      const float rightDistance = list.squaredDistances[std::min(child + 1, found)];
      child += rightDistance > list.squaredDistances[child] ? 1 : 0;
      if (list.squaredDistances[child] < distanceSquared) break;
      list.records[i] = list.records[child];
      list.squaredDistances[i] = list.squaredDistances[child];
      i = child;
    }
    list.records[i] = record;
    list.squaredDistances[i] = distanceSquared;
  }

  const SampleMap& map;
  const SampleMap::SearchNode* nodes;
  uint32_t count;
  float point[3];
  int maxCount;
  NeighbourList& list;
  float bound;
  int found = 0;
  bool isHeap = false;
};

}  // namespace

int FindNearest(const SampleMap& map, const Vector3& point, int maxCount, float radius, NeighbourList& list) {
  if (maxCount > kMaxNeighbours) maxCount = kMaxNeighbours;
  if (map.count == 0 || maxCount <= 0) return 0;
  return NearestSearch<false>(map, map.searchNodes.get(), map.count, point, maxCount, radius, list).Run();
}

int FindNearestAndFetch(const SampleMap& map, const Vector3& point, int maxCount, float radius, NeighbourList& list) {
  if (maxCount > kMaxNeighbours) maxCount = kMaxNeighbours;
  if (map.count == 0 || maxCount <= 0) return 0;
  return NearestSearch<true>(map, map.searchNodes.get(), map.count, point, maxCount, radius, list).Run();
}

}  // namespace Simulation
