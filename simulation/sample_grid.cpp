#include "simulation/sample_grid.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Simulation {
namespace {

using RenderLib::Vector3;

// Samples per non-empty cell the grid aims at: fewer makes a search visit more empty cells and
// short runs, more makes it test more positions outside the reach.
constexpr float kTargetSamplesPerCell = 16.0f;
// The first reach is for this share of maxCount on a plane through the point: the mean over the
// non-empty cells undercounts the samples per cell (many cells are only grazed by the surface),
// so this is still a little more than maxCount on most of a model, and an edge gathers again.
constexpr float kReachShare = 0.9f;
// At most this many cells per sample (plus a few), so a flat or sparse model cannot ask for a
// huge cell table.
constexpr uint64_t kCellsPerSample = 4;
// Keys a search gathers before it keeps only the nearest and tightens its reach: 32 KB of stack.
constexpr uint32_t kGatherCapacity = 4096;
constexpr uint32_t kLanes = 8;
// A cell index computed for a search is widened by this fraction of a cell, so rounding can
// never leave out the cell a position was filed in.
constexpr float kCellSlack = 1e-3f;

uint32_t FloatBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

SampleGrid::Key MakeKey(float distanceSquared, uint32_t record) {
  return (static_cast<uint64_t>(FloatBits(distanceSquared)) << 32) | record;
}

uint64_t CellTotal(const Vector3& extent, float cellSize) {
  uint64_t total = 1;
  for (int axis = 0; axis < 3; ++axis) total *= static_cast<uint64_t>(extent[axis] / cellSize) + 1;
  return total;
}

// One stretch of positions [begin, end) tested against the squared reach; the ones inside are
// appended to out[n ..] and the new n returned.
using ScanFunction = uint32_t (*)(const float* xs, const float* ys, const float* zs, const uint32_t* records,
                                  uint32_t begin, uint32_t end, const float* point, float reach2,
                                  SampleGrid::Key* out, uint32_t n);

uint32_t ScanScalar(const float* xs, const float* ys, const float* zs, const uint32_t* records, uint32_t begin,
                    uint32_t end, const float* point, float reach2, SampleGrid::Key* out, uint32_t n) {
  for (uint32_t i = begin; i < end; ++i) {
    const float dx = xs[i] - point[0];
    const float dy = ys[i] - point[1];
    const float dz = zs[i] - point[2];
    const float d2 = dx * dx + dy * dy + dz * dz;
    if (d2 < reach2) out[n++] = MakeKey(d2, records[i]);
  }
  return n;
}

// Eight positions per step; the same arithmetic in the same order as ScanScalar (no fused
// multiply-add), so both give bit-identical distances.
__attribute__((target("avx2"))) uint32_t ScanAvx2(const float* xs, const float* ys, const float* zs,
                                                  const uint32_t* records, uint32_t begin, uint32_t end,
                                                  const float* point, float reach2, SampleGrid::Key* out,
                                                  uint32_t n) {
  const __m256 px = _mm256_set1_ps(point[0]);
  const __m256 py = _mm256_set1_ps(point[1]);
  const __m256 pz = _mm256_set1_ps(point[2]);
  const __m256 limit = _mm256_set1_ps(reach2);
  alignas(32) float distances[kLanes];
  for (uint32_t i = begin; i < end; i += kLanes) {
    const __m256 dx = _mm256_sub_ps(_mm256_loadu_ps(xs + i), px);
    const __m256 dy = _mm256_sub_ps(_mm256_loadu_ps(ys + i), py);
    const __m256 dz = _mm256_sub_ps(_mm256_loadu_ps(zs + i), pz);
    const __m256 d2 = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(dx, dx), _mm256_mul_ps(dy, dy)), _mm256_mul_ps(dz, dz));
    uint32_t mask = static_cast<uint32_t>(_mm256_movemask_ps(_mm256_cmp_ps(d2, limit, _CMP_LT_OQ)));
    // The last step reads past the stretch (the arrays are padded); those lanes belong to
    // other cells and are dropped.
    if (end - i < kLanes) mask &= (1u << (end - i)) - 1u;
    if (mask == 0) continue;
    _mm256_store_ps(distances, d2);
    while (mask != 0) {
      const uint32_t lane = static_cast<uint32_t>(__builtin_ctz(mask));
      mask &= mask - 1;
      out[n++] = MakeKey(distances[lane], records[i + lane]);
    }
  }
  return n;
}

ScanFunction ChooseScan() { return __builtin_cpu_supports("avx2") ? ScanAvx2 : ScanScalar; }

const ScanFunction scan = ChooseScan();

// The distance from value to the cell interval [low, low + size], a little short so that
// rounding never prunes a cell that holds a position within reach.
float GapToInterval(float value, float low, float size) {
  const float slack = size * kCellSlack;
  if (value < low) return std::max(0.0f, low - value - slack);
  if (value > low + size) return std::max(0.0f, value - low - size - slack);
  return 0.0f;
}

// Copies the `wanted` smallest of keys[0 .. n) (all below reach2 in distance) to out. On a
// surface the count within a distance grows with its square, so buckets even in squared distance
// fill about evenly: one counting pass finds the bucket where the cut falls, and only that
// bucket's few keys need sorting out, which a selection over all of them would do with a
// mispredicted branch per key.
uint32_t SelectNearest(SampleGrid::Key* keys, uint32_t n, uint32_t wanted, float reach2, SampleGrid::Key* out) {
  constexpr uint32_t kBuckets = 64;
  const float scale = static_cast<float>(kBuckets) / reach2;
  auto bucketOf = [scale](SampleGrid::Key key) {
    return std::min(kBuckets - 1, static_cast<uint32_t>(SampleGrid::KeyDistanceSquared(key) * scale));
  };
  uint32_t counts[kBuckets] = {};
  for (uint32_t i = 0; i < n; ++i) ++counts[bucketOf(keys[i])];
  uint32_t cut = 0;
  uint32_t before = 0;
  while (before + counts[cut] < wanted) before += counts[cut++];
  uint32_t taken = 0;
  uint32_t atCut = 0;
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t bucket = bucketOf(keys[i]);
    if (bucket < cut) {
      out[taken++] = keys[i];
    } else if (bucket == cut) {
      keys[atCut++] = keys[i];  // behind the read position, so nothing unread is overwritten
    }
  }
  const uint32_t rest = wanted - before;
  if (rest < atCut) std::nth_element(keys, keys + rest, keys + atCut);
  std::copy(keys, keys + rest, out + taken);
  return wanted;
}

}  // namespace

void SampleGrid::Build(const Vector3* positions, uint32_t positionCount) {
  count = positionCount;
  cellStart.assign(2, 0);
  xs.assign(count + kLanes, 0.0f);
  ys.assign(count + kLanes, 0.0f);
  zs.assign(count + kLanes, 0.0f);
  records.assign(count + kLanes, 0);
  cells[0] = cells[1] = cells[2] = 1;
  if (count == 0) return;

  Vector3 low = positions[0];
  Vector3 high = positions[0];
  for (uint32_t i = 1; i < count; ++i) {
    for (int axis = 0; axis < 3; ++axis) {
      low[axis] = std::min(low[axis], positions[i][axis]);
      high[axis] = std::max(high[axis], positions[i][axis]);
    }
  }
  origin = low;
  Vector3 extent = high - low;
  const float largest = std::max({extent.x, extent.y, extent.z});
  if (!(largest > 0.0f)) {
    // Every sample on one spot: one cell holds them all.
    cellSize = 1.0f;
  } else {
    // A first size from the volume, then one correction from how full the non-empty cells
    // come out: samples lie on a surface, so a cell's share grows with its area.
    const float thinnest = largest * 1e-3f;
    const float volume =
        std::max(extent.x, thinnest) * std::max(extent.y, thinnest) * std::max(extent.z, thinnest);
    const uint64_t cap = kCellsPerSample * count + 64;
    auto fit = [&](float size) {
      while (CellTotal(extent, size) > cap) size *= 1.05f;
      return size;
    };
    float size = fit(std::cbrt(volume / static_cast<float>(count)));
    std::vector<uint32_t> occupancy(CellTotal(extent, size), 0);
    uint64_t occupied = 0;
    const float inverse = 1.0f / size;
    const uint64_t nx = static_cast<uint64_t>(extent.x * inverse) + 1;
    const uint64_t ny = static_cast<uint64_t>(extent.y * inverse) + 1;
    for (uint32_t i = 0; i < count; ++i) {
      const Vector3 offset = positions[i] - origin;
      const uint64_t cell = (static_cast<uint64_t>(offset.z * inverse) * ny + static_cast<uint64_t>(offset.y * inverse)) * nx +
                            static_cast<uint64_t>(offset.x * inverse);
      if (occupancy[cell]++ == 0) ++occupied;
    }
    const float perCell = static_cast<float>(count) / static_cast<float>(occupied);
    cellSize = fit(size * std::sqrt(kTargetSamplesPerCell / perCell));
  }
  inverseCellSize = 1.0f / cellSize;
  for (int axis = 0; axis < 3; ++axis) cells[axis] = static_cast<int32_t>(extent[axis] * inverseCellSize) + 1;
  const uint64_t total = static_cast<uint64_t>(cells[0]) * static_cast<uint64_t>(cells[1]) * static_cast<uint64_t>(cells[2]);

  // Counting sort of the positions by cell.
  std::vector<uint32_t> cellOf(count);
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
  uint64_t occupied = 0;
  for (uint64_t c = 1; c <= total; ++c) {
    occupied += cellStart[c] != 0;
    cellStart[c] += cellStart[c - 1];
  }
  samplesPerCell = static_cast<float>(count) / static_cast<float>(std::max<uint64_t>(occupied, 1));
  std::vector<uint32_t> next(cellStart.begin(), cellStart.end() - 1);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t slot = next[cellOf[i]]++;
    xs[slot] = positions[i].x;
    ys[slot] = positions[i].y;
    zs[slot] = positions[i].z;
    records[slot] = i;
  }
}

int SampleGrid::FindNearest(const Vector3& point, int maxCount, float radius, Key* keys) const {
  if (count == 0 || maxCount <= 0 || !(radius > 0.0f)) return 0;
  const uint32_t wanted = static_cast<uint32_t>(maxCount);
  const float radius2 = radius * radius;
  const float p[3] = {point.x, point.y, point.z};
  Key gathered[kGatherCapacity];

  // Guess the reach that holds a few more than maxCount samples; where that is short (an edge
  // of the model), grow it and gather again.
  float reach = cellSize * std::sqrt(kReachShare * static_cast<float>(maxCount) / (3.14159265f * samplesPerCell));
  for (;;) {
    const bool whole = reach >= radius;
    // Strictly inside the reach: a position at exactly the reach is left for the next round.
    float reach2 = whole ? radius2 : reach * reach;
    uint32_t n = 0;
    int32_t lowCell[3], highCell[3];
    for (int axis = 0; axis < 3; ++axis) {
      const float from = (p[axis] - origin[axis]) * inverseCellSize;
      const float span = std::sqrt(reach2) * inverseCellSize;
      lowCell[axis] = std::max(0, static_cast<int32_t>(std::floor(from - span - kCellSlack)));
      highCell[axis] = std::min(cells[axis] - 1, static_cast<int32_t>(std::floor(from + span + kCellSlack)));
    }
    for (int32_t z = lowCell[2]; z <= highCell[2]; ++z) {
      const float gz = GapToInterval(p[2], origin.z + static_cast<float>(z) * cellSize, cellSize);
      for (int32_t y = lowCell[1]; y <= highCell[1]; ++y) {
        const float gy = GapToInterval(p[1], origin.y + static_cast<float>(y) * cellSize, cellSize);
        const float left = reach2 - gz * gz - gy * gy;
        if (!(left > 0.0f)) continue;
        // Only the cells of this row that the reach's disc crosses.
        const float from = (p[0] - origin.x) * inverseCellSize;
        const float span = std::sqrt(left) * inverseCellSize;
        const int32_t x0 = std::max(lowCell[0], static_cast<int32_t>(std::floor(from - span - kCellSlack)));
        const int32_t x1 = std::min(highCell[0], static_cast<int32_t>(std::floor(from + span + kCellSlack)));
        if (x0 > x1) continue;
        const uint32_t row = (static_cast<uint32_t>(z) * static_cast<uint32_t>(cells[1]) + static_cast<uint32_t>(y)) *
                             static_cast<uint32_t>(cells[0]);
        uint32_t begin = cellStart[row + static_cast<uint32_t>(x0)];
        const uint32_t end = cellStart[row + static_cast<uint32_t>(x1) + 1];
        while (begin < end) {
          if (kGatherCapacity - n < kLanes) {
            // Full: keep the nearest maxCount and gather only what could still displace them.
            std::nth_element(gathered, gathered + (wanted - 1), gathered + n);
            n = wanted;
            reach2 = std::nextafter(KeyDistanceSquared(gathered[wanted - 1]), reach2);
            reach2 = std::min(reach2, radius2);
          }
          const uint32_t stop = std::min(end, begin + (kGatherCapacity - n) / kLanes * kLanes);
          n = scan(xs.data(), ys.data(), zs.data(), records.data(), begin, stop, p, reach2, gathered, n);
          begin = stop;
        }
      }
    }
    if (n >= wanted || whole) {
      if (n > wanted) return static_cast<int>(SelectNearest(gathered, n, wanted, reach2, keys));
      std::copy(gathered, gathered + n, keys);
      return static_cast<int>(n);
    }
    const float grow = n == 0 ? 2.0f : std::sqrt(1.3f * static_cast<float>(maxCount) / static_cast<float>(n));
    reach *= std::max(1.25f, grow);
  }
}

}  // namespace Simulation
