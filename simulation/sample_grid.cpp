#include "simulation/sample_grid.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace Simulation {
namespace {

using RenderLib::Vector3;

// Samples per non-empty cell the grid aims at: fewer makes a search visit more empty cells and
// short runs, more makes it test more positions outside the reach.
constexpr float kTargetSamplesPerCell = 16.0f;
// The first reach is for this share of maxCount at the density the probes found at the lower
// quantile below, so that most searches gather enough in one round without gathering many
// more than they keep; an edge or a sparse part gathers again.
constexpr float kReachShare = 1.1f;
constexpr uint32_t kProbes = 512;
// Probes count the samples within this many cell sizes, all in the cells this many either side.
constexpr float kProbeReach = 2.0f;
constexpr int32_t kProbeCells = 2;
constexpr uint32_t kProbeQuantile = 4;  // of 16: the probe counts' lower quartile
// A search that came up short grows its reach for this share of maxCount from what it found.
constexpr float kRegrowShare = 1.2f;
// A search that found nothing reaches this much further; one that found too few at least this.
constexpr float kEmptyGrowth = 1.5f;
constexpr float kLeastGrowth = 1.05f;
// At most this many cells per sample (plus a few), so a flat or sparse model cannot ask for a
// huge cell table.
constexpr uint64_t kCellsPerSample = 4;
// Candidates a search gathers before it keeps only the nearest and tightens its reach: with the
// keys of a selection, 96 KB of stack, of which a search touches only what it gathers.
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

uint64_t CellTotal(const Vector3& extent, float cellSize) {
  uint64_t total = 1;
  for (int axis = 0; axis < 3; ++axis) total *= static_cast<uint64_t>(extent[axis] / cellSize) + 1;
  return total;
}

// One stretch of positions [begin, end) tested against the squared reach; the ones inside have
// their squared distance's bits appended to distances[n ..] and their slot to found[n ..], and
// the new n is returned. Both outputs need room for kLanes entries past the last one kept.
// The slots are counted, not read: a search streams the three coordinate arrays and no more.
using ScanFunction = uint32_t (*)(const float* xs, const float* ys, const float* zs, uint32_t begin, uint32_t end,
                                  const float* point, float reach2, uint32_t* distances, uint32_t* found, uint32_t n);

uint32_t ScanScalar(const float* xs, const float* ys, const float* zs, uint32_t begin, uint32_t end,
                    const float* point, float reach2, uint32_t* distances, uint32_t* found, uint32_t n) {
  for (uint32_t i = begin; i < end; ++i) {
    const float dx = xs[i] - point[0];
    const float dy = ys[i] - point[1];
    const float dz = zs[i] - point[2];
    const float d2 = dx * dx + dy * dy + dz * dz;
    distances[n] = FloatBits(d2);
    found[n] = i;
    n += d2 < reach2;
  }
  return n;
}

// For each eight-bit lane mask, the lanes it keeps moved to the front: the permutation that
// packs the positions within reach without a branch per position.
struct PackTable {
  uint64_t lanes[256];
  constexpr PackTable() : lanes() {
    for (uint32_t mask = 0; mask < 256; ++mask) {
      uint64_t packed = 0;
      uint32_t slot = 0;
      for (uint32_t lane = 0; lane < kLanes; ++lane) {
        if (mask & (1u << lane)) packed |= static_cast<uint64_t>(lane) << (8 * slot++);
      }
      lanes[mask] = packed;
    }
  }
};
constexpr PackTable kPackTable;

// Eight positions per step; the same arithmetic in the same order as ScanScalar (no fused
// multiply-add), so both give bit-identical distances.
__attribute__((target("avx2"))) uint32_t ScanAvx2(const float* xs, const float* ys, const float* zs, uint32_t begin,
                                                  uint32_t end, const float* point, float reach2,
                                                  uint32_t* distances, uint32_t* found, uint32_t n) {
  const __m256i laneSlots = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256 px = _mm256_set1_ps(point[0]);
  const __m256 py = _mm256_set1_ps(point[1]);
  const __m256 pz = _mm256_set1_ps(point[2]);
  const __m256 limit = _mm256_set1_ps(reach2);
  for (uint32_t i = begin; i < end; i += kLanes) {
    const __m256 dx = _mm256_sub_ps(_mm256_loadu_ps(xs + i), px);
    const __m256 dy = _mm256_sub_ps(_mm256_loadu_ps(ys + i), py);
    const __m256 dz = _mm256_sub_ps(_mm256_loadu_ps(zs + i), pz);
    const __m256 d2 = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(dx, dx), _mm256_mul_ps(dy, dy)), _mm256_mul_ps(dz, dz));
    uint32_t mask = static_cast<uint32_t>(_mm256_movemask_ps(_mm256_cmp_ps(d2, limit, _CMP_LT_OQ)));
    // The last step reads past the stretch (the arrays are padded); those lanes belong to
    // other cells and are dropped.
    if (end - i < kLanes) mask &= (1u << (end - i)) - 1u;
    const __m256i order = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<int64_t>(kPackTable.lanes[mask])));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(distances + n),
                        _mm256_permutevar8x32_epi32(_mm256_castps_si256(d2), order));
    const __m256i slots = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(i)), laneSlots);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(found + n), _mm256_permutevar8x32_epi32(slots, order));
    n += static_cast<uint32_t>(__builtin_popcount(mask));
  }
  return n;
}

// PATINEX_NO_AVX2 (set to anything but 0) keeps the search on its plain code, so that the tests
// can run that code on a processor that has AVX2.
bool UseAvx2() {
  const char* off = std::getenv("PATINEX_NO_AVX2");
  const bool forcedOff = off != nullptr && off[0] != '\0' && std::strcmp(off, "0") != 0;
  return __builtin_cpu_supports("avx2") && !forcedOff;
}

const bool hasAvx2 = UseAvx2();
const ScanFunction scan = hasAvx2 ? ScanAvx2 : ScanScalar;

// The distance from value to the cell interval [low, low + size], a little short so that
// rounding never prunes a cell that holds a position within reach.
float GapToInterval(float value, float low, float size) {
  const float slack = size * kCellSlack;
  if (value < low) return std::max(0.0f, low - value - slack);
  if (value > low + size) return std::max(0.0f, value - low - size - slack);
  return 0.0f;
}

// How many of distances[0 .. n) lie below limit (all as float bits, which order as the floats
// do for the non-negative ones). The array is padded with values above any limit to a whole
// number of lanes.
__attribute__((target("avx2"))) uint32_t CountBelowAvx2(const uint32_t* distances, uint32_t n, uint32_t limit) {
  const __m256i bound = _mm256_set1_epi32(static_cast<int32_t>(limit));
  __m256i counts = _mm256_setzero_si256();
  for (uint32_t i = 0; i < n; i += kLanes) {
    // A lane below the limit compares as all ones, -1: subtracting it counts it.
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(distances + i));
    counts = _mm256_sub_epi32(counts, _mm256_cmpgt_epi32(bound, d));
  }
  alignas(32) uint32_t lanes[kLanes];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), counts);
  uint32_t total = 0;
  for (uint32_t lane = 0; lane < kLanes; ++lane) total += lanes[lane];
  return total;
}

uint32_t CountBelowScalar(const uint32_t* distances, uint32_t n, uint32_t limit) {
  uint32_t total = 0;
  for (uint32_t i = 0; i < n; ++i) total += distances[i] < limit;
  return total;
}

using CountFunction = uint32_t (*)(const uint32_t*, uint32_t, uint32_t);

const CountFunction countBelow = hasAvx2 ? CountBelowAvx2 : CountBelowScalar;

// The keys of the candidates nearer than low appended to out[taken ..], those from low to just
// below high to band[inBand ..]. Both need room for kLanes keys past their last.
void SplitScalar(const uint32_t* distances, const uint32_t* found, uint32_t n, uint32_t low, uint32_t high,
                 SampleGrid::Key* out, uint32_t& taken, SampleGrid::Key* band, uint32_t& inBand) {
  for (uint32_t i = 0; i < n; ++i) {
    const SampleGrid::Key key = (static_cast<uint64_t>(distances[i]) << 32) | found[i];
    out[taken] = key;
    taken += distances[i] < low;
    band[inBand] = key;
    inBand += (distances[i] >= low) & (distances[i] < high);
  }
}

// The pack table's lanes laid out so that interleaving the packed slots and distances, the
// low halves of both 128-bit parts and then the high ones, gives the keys in packed order.
struct InterleavedPackTable {
  uint64_t lanes[256];
  constexpr InterleavedPackTable() : lanes() {
    constexpr uint32_t kFrom[kLanes] = {0, 1, 4, 5, 2, 3, 6, 7};
    for (uint32_t mask = 0; mask < 256; ++mask) {
      uint64_t packed = 0;
      for (uint32_t slot = 0; slot < kLanes; ++slot) {
        packed |= ((kPackTable.lanes[mask] >> (8 * kFrom[slot])) & 0xff) << (8 * slot);
      }
      lanes[mask] = packed;
    }
  }
};
constexpr InterleavedPackTable kInterleavedPackTable;

__attribute__((target("avx2"))) void AppendKeys(__m256i distances, __m256i slots, uint32_t mask,
                                                SampleGrid::Key* out, uint32_t& count) {
  const __m256i order =
      _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<int64_t>(kInterleavedPackTable.lanes[mask])));
  const __m256i d = _mm256_permutevar8x32_epi32(distances, order);
  const __m256i r = _mm256_permutevar8x32_epi32(slots, order);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + count), _mm256_unpacklo_epi32(r, d));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + count + 4), _mm256_unpackhi_epi32(r, d));
  count += static_cast<uint32_t>(__builtin_popcount(mask));
}

// As SplitScalar, eight at a time; distances is padded to whole vectors with values past high.
__attribute__((target("avx2"))) void SplitAvx2(const uint32_t* distances, const uint32_t* found, uint32_t n,
                                               uint32_t low, uint32_t high, SampleGrid::Key* out, uint32_t& taken,
                                               SampleGrid::Key* band, uint32_t& inBand) {
  const __m256i lowBound = _mm256_set1_epi32(static_cast<int32_t>(low));
  const __m256i highBound = _mm256_set1_epi32(static_cast<int32_t>(high));
  for (uint32_t i = 0; i < n; i += kLanes) {
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(distances + i));
    const __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(found + i));
    const uint32_t below =
        static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(lowBound, d))));
    const uint32_t belowHigh =
        static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(highBound, d))));
    AppendKeys(d, r, below, out, taken);
    if (belowHigh != below) AppendKeys(d, r, belowHigh & ~below, band, inBand);
  }
}

using SplitFunction = void (*)(const uint32_t*, const uint32_t*, uint32_t, uint32_t, uint32_t, SampleGrid::Key*,
                               uint32_t&, SampleGrid::Key*, uint32_t&);
const SplitFunction split = hasAvx2 ? SplitAvx2 : SplitScalar;

// Bands narrower than this are sorted out key by key.
constexpr uint32_t kBand = 6;
constexpr int kMaxNarrowings = 16;

// Writes the keys of the `wanted` smallest of the n gathered candidates (all nearer than the
// bits reachBits) to out. The cut is narrowed to a band of distances [low, high) holding the
// wanted-th candidate by counting, eight at a time, how many lie below a guessed distance;
// the guesses assume the count grows with the squared distance, as it does on a surface. Only
// the band's few keys are then ordered. `distances` has room for kLanes entries past n.
uint32_t SelectNearest(const SampleGrid& grid, uint32_t* distances, const uint32_t* found, uint32_t n,
                       uint32_t wanted, uint32_t reachBits, SampleGrid::Key* band, SampleGrid::Key* out) {
  for (uint32_t i = n; i < n + kLanes; ++i) distances[i] = 0x7fffffffu;
  uint32_t low = 0, below = 0;
  uint32_t high = reachBits, belowHigh = n;
  bool bisect = false;
  for (int round = 0; round < kMaxNarrowings && belowHigh - below > kBand && high - low > 1; ++round) {
    const uint32_t before = belowHigh - below;
    float lowValue, highValue;
    std::memcpy(&lowValue, &low, sizeof lowValue);
    std::memcpy(&highValue, &high, sizeof highValue);
    // Aim half a band short of the cut or past it, whichever moves the bound farther from it.
    const float half = 0.5f * static_cast<float>(kBand);
    const float aim = belowHigh - wanted < wanted - below ? static_cast<float>(wanted) - half
                                                          : static_cast<float>(wanted) + half;
    // Where the counts are far from even in squared distance (a point off the surface finds
    // nothing near zero) and a guess did not halve the band, the next one halves the interval.
    const float share = bisect ? 0.5f : (aim - static_cast<float>(below)) / static_cast<float>(belowHigh - below);
    uint32_t guess = FloatBits(lowValue + (highValue - lowValue) * std::clamp(share, 0.0f, 1.0f));
    guess = std::clamp(guess, low + 1, high - 1);
    const uint32_t count = countBelow(distances, n, guess);
    if (count <= wanted) {
      low = guess;
      below = count;
    }
    if (count >= wanted) {
      high = guess;
      belowHigh = count;
    }
    bisect = 2 * (belowHigh - below) > before;
  }
  uint32_t taken = 0;
  uint32_t inBand = 0;
  split(distances, found, n, low, high, out, taken, band, inBand);
  const uint32_t rest = wanted - taken;
  if (rest < inBand) {
    std::nth_element(band, band + rest, band + inBand,
                     [&grid](SampleGrid::Key a, SampleGrid::Key b) { return grid.KeyBefore(a, b); });
  }
  std::copy(band, band + rest, out + taken);
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
  for (uint64_t c = 1; c <= total; ++c) cellStart[c] += cellStart[c - 1];
  std::vector<uint32_t> next(cellStart.begin(), cellStart.end() - 1);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t slot = next[cellOf[i]]++;
    xs[slot] = positions[i].x;
    ys[slot] = positions[i].y;
    zs[slot] = positions[i].z;
    records[slot] = i;
  }
  ProbeDensity();
}

// Counts the samples within two cell sizes of a few hundred samples spread over the model: on a
// surface the count within a reach grows with its square, so a low quantile of those counts
// says how far a search must reach for a given count in all but the sparsest places.
void SampleGrid::ProbeDensity() {
  const uint32_t probes = std::min(count, kProbes);
  std::vector<uint32_t> counts(probes, 0);
  const float reach2 = kProbeReach * kProbeReach * cellSize * cellSize;
  for (uint32_t probe = 0; probe < probes; ++probe) {
    const uint32_t slot = static_cast<uint32_t>(static_cast<uint64_t>(probe) * count / probes);
    const float p[3] = {xs[slot], ys[slot], zs[slot]};
    int32_t c[3];
    for (int axis = 0; axis < 3; ++axis) {
      c[axis] = std::clamp(static_cast<int32_t>((p[axis] - origin[axis]) * inverseCellSize), 0, cells[axis] - 1);
    }
    uint32_t within = 0;
    for (int32_t z = std::max(0, c[2] - kProbeCells); z <= std::min(cells[2] - 1, c[2] + kProbeCells); ++z) {
      for (int32_t y = std::max(0, c[1] - kProbeCells); y <= std::min(cells[1] - 1, c[1] + kProbeCells); ++y) {
        const uint32_t row = (static_cast<uint32_t>(z) * static_cast<uint32_t>(cells[1]) + static_cast<uint32_t>(y)) *
                             static_cast<uint32_t>(cells[0]);
        const uint32_t begin = cellStart[row + static_cast<uint32_t>(std::max(0, c[0] - kProbeCells))];
        const uint32_t end = cellStart[row + static_cast<uint32_t>(std::min(cells[0] - 1, c[0] + kProbeCells)) + 1];
        for (uint32_t i = begin; i < end; ++i) {
          const float dx = xs[i] - p[0], dy = ys[i] - p[1], dz = zs[i] - p[2];
          within += dx * dx + dy * dy + dz * dz < reach2;
        }
      }
    }
    counts[probe] = within;
  }
  std::sort(counts.begin(), counts.end());
  const uint32_t typical = probes == 0 ? 1 : std::max(1u, counts[probes * kProbeQuantile / 16]);
  reachPerRootCount = kProbeReach * cellSize / std::sqrt(static_cast<float>(typical));
}

int SampleGrid::FindNearest(const Vector3& point, int maxCount, float radius, Key* keys) const {
  if (count == 0 || maxCount <= 0 || !(radius > 0.0f)) return 0;
  const uint32_t wanted = static_cast<uint32_t>(maxCount);
  const float radius2 = radius * radius;
  const float p[3] = {point.x, point.y, point.z};
  // The candidates within reach: squared distance bits and record, padded for the last
  // vector's writes. The keys of a selection go to picked and band.
  uint32_t distances[kGatherCapacity + kLanes];
  uint32_t found[kGatherCapacity + kLanes];
  Key picked[kGatherCapacity + kLanes];
  Key band[kGatherCapacity + kLanes];

  // Guess the reach that holds a few more than maxCount samples; where that is short (an edge
  // of the model), grow it and gather again.
  float reach = reachPerRootCount * std::sqrt(kReachShare * static_cast<float>(maxCount));
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
            SelectNearest(*this, distances, found, n, wanted, FloatBits(reach2), band, picked);
            float farthest = 0.0f;
            for (uint32_t i = 0; i < wanted; ++i) {
              distances[i] = static_cast<uint32_t>(picked[i] >> 32);
              found[i] = KeySlot(picked[i]);
              farthest = std::max(farthest, KeyDistanceSquared(picked[i]));
            }
            n = wanted;
            reach2 = std::min(std::nextafter(farthest, reach2), radius2);
          }
          const uint32_t stop = std::min(end, begin + (kGatherCapacity - n) / kLanes * kLanes);
          n = scan(xs.data(), ys.data(), zs.data(), begin, stop, p, reach2, distances, found, n);
          begin = stop;
        }
      }
    }
    if (n >= wanted || whole) {
      if (n > wanted) {
        SelectNearest(*this, distances, found, n, wanted, FloatBits(reach2), band, picked);
        std::copy(picked, picked + wanted, keys);
        return static_cast<int>(wanted);
      }
      for (uint32_t i = 0; i < n; ++i) keys[i] = (static_cast<uint64_t>(distances[i]) << 32) | found[i];
      return static_cast<int>(n);
    }
    if (n == 0) {
      reach *= kEmptyGrowth;
      continue;
    }
    // The point may lie off the surface (a flow step off a curve or an edge): the samples found
    // are then on a disc around its foot, as wide as the reach allows beyond the nearest one's
    // distance. Widen that disc for the count still missing.
    uint32_t nearestBits = distances[0];
    for (uint32_t i = 1; i < n; ++i) nearestBits = std::min(nearestBits, distances[i]);
    float height2;
    std::memcpy(&height2, &nearestBits, sizeof height2);
    const float disc2 = std::max(reach2 - height2, 0.0f) * (kRegrowShare * static_cast<float>(maxCount) / static_cast<float>(n));
    reach = std::max(reach * kLeastGrowth, std::sqrt(height2 + disc2));
  }
}

}  // namespace Simulation
