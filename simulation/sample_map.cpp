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
  BuildSearchGrid();
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

void SampleMap::BuildSearchGrid() {
  std::vector<Vector3> positions(count);
  for (uint32_t i = 0; i < count; ++i) positions[i] = items[i].position;
  grid.Build(positions.data(), count);
}

namespace {

// Turns the grid's keys into the list, the nearest entry last.
template <bool kFetchRecords>
int FillList(SurfaceSample* items, const SampleGrid::Key* keys, int found, float radius, NeighbourList& list) {
  list.records[0] = nullptr;
  list.squaredDistances[0] = radius * radius;
  if (found == 0) return 0;
  int nearest = 0;
  for (int i = 1; i < found; ++i) {
    if (keys[i] < keys[nearest]) nearest = i;
  }
  for (int i = 0, slot = 1; i < found; ++i) {
    if (i == nearest) continue;
    SurfaceSample* record = items + SampleGrid::KeyRecord(keys[i]);
    if constexpr (kFetchRecords) {
      __builtin_prefetch(record);
      __builtin_prefetch(reinterpret_cast<const char*>(record) + 47);
    }
    list.records[slot] = record;
    list.squaredDistances[slot] = SampleGrid::KeyDistanceSquared(keys[i]);
    ++slot;
  }
  list.records[found] = items + SampleGrid::KeyRecord(keys[nearest]);
  list.squaredDistances[found] = SampleGrid::KeyDistanceSquared(keys[nearest]);
  return found;
}

template <bool kFetchRecords>
int Find(const SampleGrid& grid, SurfaceSample* items, const Vector3& point, int maxCount, float radius,
         NeighbourList& list) {
  maxCount = std::min(maxCount, kMaxNeighbours);
  SampleGrid::Key keys[kMaxNeighbours];
  const int found = grid.FindNearest(point, maxCount, radius, keys);
  return FillList<kFetchRecords>(items, keys, found, radius, list);
}

}  // namespace

int FindNearest(const SampleMap& map, const Vector3& point, int maxCount, float radius, NeighbourList& list) {
  return Find<false>(map.grid, map.items, point, maxCount, radius, list);
}

int FindNearestAndFetch(const SampleMap& map, const Vector3& point, int maxCount, float radius, NeighbourList& list) {
  return Find<true>(map.grid, map.items, point, maxCount, radius, list);
}

}  // namespace Simulation
