#pragma once

// The sample map build as it was before the balancing ran on the workers, kept so that the
// benchmark can time both in one run and check that they give the very same records: the
// sides merged by appending one after another, the balancing on one thread, the split axes
// written through the permutation, the heap order gathered, then the grid's positions copied
// out of the records and bucketed. Its sides are sampled as they were too: one task per side,
// the ray grid's first coordinates summed bit by bit, the array shrunk by copying.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "renderlib/bounding_box.h"
#include "simulation/radical_inverse.h"
#include "simulation/sampling_task.h"
#include "threadinglib/thread_pool.h"

namespace Bench {

struct ReferenceBuild {
  Simulation::SurfaceSample* records = nullptr;  // heap order, freed by the destructor
  uint32_t count = 0;
  std::vector<uint32_t> gridCellStart;
  std::vector<uint32_t> gridRecords;
  double samplingSeconds = 0, mergeSeconds = 0, balanceSeconds = 0, orderSeconds = 0, gridSeconds = 0;

  ReferenceBuild() = default;
  ReferenceBuild(const ReferenceBuild&) = delete;
  ReferenceBuild& operator=(const ReferenceBuild&) = delete;
  ~ReferenceBuild() { std::free(records); }
};

namespace reference {

using RenderLib::Vector3;
using Simulation::SurfaceSample;

struct Entry {
  float position[3];
  uint32_t record;
};

inline void Select(Entry* entries, uint32_t start, uint32_t end, uint32_t median, int axis) {
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

inline void BalanceSegment(Entry* list, uint32_t* heap, uint8_t* axes, uint32_t k, uint32_t start, uint32_t end,
                           Vector3& boundsMin, Vector3& boundsMax) {
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
  Select(list, start, end, median, axis);
  heap[k] = list[median].record;
  axes[k] = static_cast<uint8_t>(axis);
  const float split = list[median].position[axis];
  if (start < median) {
    if (median - start == 1) {
      heap[2 * k] = list[start].record;
    } else {
      const float saved = boundsMax[axis];
      boundsMax[axis] = split;
      BalanceSegment(list, heap, axes, 2 * k, start, median - 1, boundsMin, boundsMax);
      boundsMax[axis] = saved;
    }
  }
  if (median < end) {
    if (end - median == 1) {
      heap[2 * k + 1] = list[end].record;
    } else {
      const float saved = boundsMin[axis];
      boundsMin[axis] = split;
      BalanceSegment(list, heap, axes, 2 * k + 1, median + 1, end, boundsMin, boundsMax);
      boundsMin[axis] = saved;
    }
  }
}

// One side sampled as it was (the task's Run before its rays could be split into runs).
class SideTask final : public ThreadingLib::Task {
public:
  explicit SideTask(ThreadingLib::ThreadPool* pool) : Task(pool) {}
  ~SideTask() override { std::free(items); }
  uint32_t Prepare() override { return 0; }

  void Run(uint32_t) override {
    struct Layout {
      Vector3 rayDirection;
      int rayAxis;
      bool startsOnMax;
      int axisA, axisB;
    };
    static constexpr Layout kSides[6] = {
        {{0, 0, 1}, 2, false, 0, 1}, {{0, -1, 0}, 1, true, 0, 2}, {{1, 0, 0}, 0, false, 1, 2},
        {{0, 0, -1}, 2, true, 0, 1}, {{0, 1, 0}, 1, false, 0, 2}, {{-1, 0, 0}, 0, true, 1, 2},
    };
    const RenderLib::BoundingBox box = mesh->GetBoundingBox();
    spacing = Simulation::SampleSpacing(box, density);
    if (spacing <= 0.0f) return;
    const Layout& side = kSides[direction];
    const Vector3 extent = box.Extent();
    const double rays = Simulation::RaysPerSide(box, spacing, direction);
    if (!(rays <= double(1u << 27))) return;
    const uint32_t n = static_cast<uint32_t>(rays);
    std::vector<float> grid(2 * size_t(n));
    for (uint32_t j = 0; j < n; ++j) {
      grid[2 * j] = Simulation::RadicalInverse(j, 2);
      grid[2 * j + 1] = static_cast<float>((static_cast<double>(j) + 0.5) / n);
    }
    items = static_cast<SurfaceSample*>(std::calloc(size_t(n) + 1, sizeof(SurfaceSample)));
    float startCoordinate = side.startsOnMax ? box.max[side.rayAxis] : box.min[side.rayAxis];
    float endCoordinate = side.startsOnMax ? box.min[side.rayAxis] : box.max[side.rayAxis];
    if (extent[side.rayAxis] == 0.0f) {
      const float outwards = side.startsOnMax ? spacing : -spacing;
      startCoordinate += outwards;
      endCoordinate -= outwards;
    }
    RenderLib::KdRay ray;
    ray.rangedTest = 1;
    ray.anyHit = 0;
    const float zero[3] = {0, 0, 0};
    for (uint32_t j = 0; j < n; ++j) {
      Vector3 start;
      start[side.axisA] = box.min[side.axisA] + grid[2 * j] * extent[side.axisA];
      start[side.axisB] = box.min[side.axisB] + grid[2 * j + 1] * extent[side.axisB];
      start[side.rayAxis] = startCoordinate;
      Vector3 end = start;
      end[side.rayAxis] = endCoordinate;
      ray.origin = start;
      ray.end = end;
      RenderLib::KdHit hit;
      if (!kdTree->Intersect(ray, *mesh, hit)) continue;
      items[count++] = Simulation::MakeSample(*mesh, hit.triangle, hit.u, hit.v,
                                              start + side.rayDirection * hit.distance, zero);
    }
    if (count != n) {
      auto* shrunk = static_cast<SurfaceSample*>(std::malloc(size_t(count) * sizeof(SurfaceSample)));
      if (count > 0) std::memcpy(shrunk, items, size_t(count) * sizeof(SurfaceSample));
      std::free(items);
      items = shrunk;
    }
  }

  int32_t density = 0;
  int32_t direction = 0;
  float spacing = 0;
  const RenderLib::KdTree* kdTree = nullptr;
  const Simulation::Soup* mesh = nullptr;
  SurfaceSample* items = nullptr;
  uint32_t count = 0;
};

// The grid's build as it was: bounds, a trial bucketing to size the cells, then a counting sort
// of the positions by cell with the cell of every position kept aside.
inline void BuildGrid(const Vector3* positions, uint32_t count, ReferenceBuild& into) {
  constexpr uint64_t kCellsPerSample = 4;
  constexpr float kTargetSamplesPerCell = 16.0f;
  auto cellTotal = [](const Vector3& extent, float cellSize) {
    uint64_t total = 1;
    for (int axis = 0; axis < 3; ++axis) total *= static_cast<uint64_t>(extent[axis] / cellSize) + 1;
    return total;
  };
  std::vector<float> xs(count + 8), ys(count + 8), zs(count + 8);
  into.gridRecords.assign(count + 8, 0);
  if (count == 0) return;
  Vector3 low = positions[0];
  Vector3 high = positions[0];
  for (uint32_t i = 1; i < count; ++i) {
    for (int axis = 0; axis < 3; ++axis) {
      low[axis] = std::min(low[axis], positions[i][axis]);
      high[axis] = std::max(high[axis], positions[i][axis]);
    }
  }
  const Vector3 origin = low;
  const Vector3 extent = high - low;
  const float largest = std::max({extent.x, extent.y, extent.z});
  float cellSize = 1.0f;
  if (largest > 0.0f) {
    const float thinnest = largest * 1e-3f;
    const float volume = std::max(extent.x, thinnest) * std::max(extent.y, thinnest) * std::max(extent.z, thinnest);
    const uint64_t cap = kCellsPerSample * count + 64;
    auto fit = [&](float size) {
      while (cellTotal(extent, size) > cap) size *= 1.05f;
      return size;
    };
    float size = fit(std::cbrt(volume / static_cast<float>(count)));
    std::vector<uint32_t> occupancy(cellTotal(extent, size), 0);
    uint64_t occupied = 0;
    const float inverse = 1.0f / size;
    const uint64_t nx = static_cast<uint64_t>(extent.x * inverse) + 1;
    const uint64_t ny = static_cast<uint64_t>(extent.y * inverse) + 1;
    for (uint32_t i = 0; i < count; ++i) {
      const Vector3 offset = positions[i] - origin;
      const uint64_t cell =
          (static_cast<uint64_t>(offset.z * inverse) * ny + static_cast<uint64_t>(offset.y * inverse)) * nx +
          static_cast<uint64_t>(offset.x * inverse);
      if (occupancy[cell]++ == 0) ++occupied;
    }
    const float perCell = static_cast<float>(count) / static_cast<float>(occupied);
    cellSize = fit(size * std::sqrt(kTargetSamplesPerCell / perCell));
  }
  const float inverseCellSize = 1.0f / cellSize;
  int32_t cells[3];
  for (int axis = 0; axis < 3; ++axis) cells[axis] = static_cast<int32_t>(extent[axis] * inverseCellSize) + 1;
  const uint64_t total = static_cast<uint64_t>(cells[0]) * static_cast<uint64_t>(cells[1]) * static_cast<uint64_t>(cells[2]);
  std::vector<uint32_t> cellOf(count);
  std::vector<uint32_t>& cellStart = into.gridCellStart;
  cellStart.assign(total + 1, 0);
  for (uint32_t i = 0; i < count; ++i) {
    const Vector3 offset = positions[i] - origin;
    uint32_t c[3];
    for (int axis = 0; axis < 3; ++axis) {
      c[axis] = std::min(static_cast<uint32_t>(offset[axis] * inverseCellSize), static_cast<uint32_t>(cells[axis] - 1));
    }
    cellOf[i] = (c[2] * static_cast<uint32_t>(cells[1]) + c[1]) * static_cast<uint32_t>(cells[0]) + c[0];
    ++cellStart[cellOf[i] + 1];
  }
  for (uint64_t c = 1; c <= total; ++c) cellStart[c] += cellStart[c - 1];
  std::vector<uint32_t> next(cellStart.begin(), cellStart.end() - 1);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t slot = next[cellOf[i]]++;
    xs[slot] = positions[i].x;
    ys[slot] = positions[i].y;
    zs[slot] = positions[i].z;
    into.gridRecords[slot] = i;
  }
}

}  // namespace reference

// The whole build the old way, each stage timed.
inline void ReferenceBuildSampleMap(const RenderLib::KdTree& kdTree, const Simulation::Soup& mesh, int32_t density,
                                    ReferenceBuild& into) {
  using Clock = std::chrono::steady_clock;
  using reference::Entry;
  using RenderLib::Vector3;
  using Simulation::SurfaceSample;
  auto seconds = [](Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); };

  const Clock::time_point t0 = Clock::now();
  ThreadingLib::ThreadPool pool;
  const bool poolReady = pool.CreateForProcessors(0);
  std::vector<std::unique_ptr<reference::SideTask>> tasks;
  for (int32_t side = 0; side < 6; ++side) {
    reference::SideTask& task = *tasks.emplace_back(std::make_unique<reference::SideTask>(&pool));
    task.density = density;
    task.direction = side;
    task.kdTree = &kdTree;
    task.mesh = &mesh;
    if (!poolReady || !pool.Add(&task)) task.Run(0);
  }
  pool.RunAndWait();
  const Clock::time_point t1 = Clock::now();

  // Side j takes on side j + 1's records, from the last side down: every join copies both.
  SurfaceSample* parts[6];
  uint32_t counts[6];
  for (int side = 0; side < 6; ++side) {
    parts[side] = std::exchange(tasks[side]->items, nullptr);
    counts[side] = tasks[side]->count;
  }
  for (int side = 4; side >= 0; --side) {
    const size_t total = size_t(counts[side]) + counts[side + 1];
    auto* joined = static_cast<SurfaceSample*>(std::malloc((total + 1) * sizeof(SurfaceSample)));
    if (counts[side] > 0) std::memcpy(joined, parts[side], counts[side] * sizeof(SurfaceSample));
    if (counts[side + 1] > 0) std::memcpy(joined + counts[side], parts[side + 1], counts[side + 1] * sizeof(SurfaceSample));
    std::free(parts[side]);
    std::free(parts[side + 1]);
    parts[side] = joined;
    counts[side] = static_cast<uint32_t>(total);
    parts[side + 1] = nullptr;
    counts[side + 1] = 0;
  }
  SurfaceSample* items = parts[0];
  const uint32_t count = counts[0];
  const Clock::time_point t2 = Clock::now();

  RenderLib::BoundingBox bounds;
  for (uint32_t i = 0; i < count; ++i) bounds.Extend(items[i].position);
  std::vector<uint32_t> heap(count + 1);
  std::vector<uint8_t> axes(count + 1);
  if (count > 1) {
    std::vector<Entry> list(count + 1);
    for (uint32_t i = 1; i <= count; ++i) {
      const Vector3& p = items[i - 1].position;
      list[i] = {{p.x, p.y, p.z}, i - 1};
    }
    Vector3 boundsMin = bounds.min, boundsMax = bounds.max;
    reference::BalanceSegment(list.data(), heap.data(), axes.data(), 1, 1, count, boundsMin, boundsMax);
  }
  const Clock::time_point t3 = Clock::now();

  if (count > 1) {
    for (uint32_t k = 1; k <= count; ++k) {
      if (2 * k <= count || k == 1) items[heap[k]].splitAxis = axes[k];
    }
    auto* ordered = static_cast<SurfaceSample*>(std::malloc(size_t(count) * sizeof(SurfaceSample)));
    constexpr uint32_t kAhead = 16;
    for (uint32_t k = 1; k <= count; ++k) {
      if (k + kAhead <= count) {
        const char* next = reinterpret_cast<const char*>(items + heap[k + kAhead]);
        __builtin_prefetch(next);
        __builtin_prefetch(next + sizeof(SurfaceSample) - 1);
      }
      ordered[k - 1] = items[heap[k]];
    }
    std::free(items);
    items = ordered;
  }
  const Clock::time_point t4 = Clock::now();

  std::vector<Vector3> positions(count);
  for (uint32_t i = 0; i < count; ++i) positions[i] = items[i].position;
  reference::BuildGrid(positions.data(), count, into);
  const Clock::time_point t5 = Clock::now();

  std::free(into.records);
  into.records = items;
  into.count = count;
  into.samplingSeconds = seconds(t0, t1);
  into.mergeSeconds = seconds(t1, t2);
  into.balanceSeconds = seconds(t2, t3);
  into.orderSeconds = seconds(t3, t4);
  into.gridSeconds = seconds(t4, t5);
}

}  // namespace Bench
