#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "renderlib/vector3.h"

namespace Simulation {

// The sample positions bucketed into a uniform grid of cubic cells, for the k-nearest search.
// The positions are kept as three float arrays sorted by cell, cells numbered x fastest, so a run
// of cells along x is one contiguous stretch the distance test can sweep eight at a time.
// The grid knows positions only; `Record(slot)` says which record the position in a slot came from.
class SampleGrid {
public:
  // One candidate of a search: its squared distance's bits above its slot in the grid's order.
  // Keys order by distance; on equal distances the lower record index counts as the nearer
  // (KeyBefore), which the slot order alone does not give.
  using Key = uint64_t;
  static uint32_t KeySlot(Key key) { return static_cast<uint32_t>(key); }
  static float KeyDistanceSquared(Key key) {
    const uint32_t bits = static_cast<uint32_t>(key >> 32);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

  SampleGrid() = default;
  // positions[i] is the position of record i.
  void Build(const RenderLib::Vector3* positions, uint32_t count);

  // The up to maxCount keys of the positions strictly within radius of point, the nearest ones
  // (lower record index first on equal distances) when more lie inside, in no particular order
  // but the same for the same grid and arguments. `keys` has room for maxCount entries.
  // Allocates nothing; safe to call from many threads at once.
  int FindNearest(const RenderLib::Vector3& point, int maxCount, float radius, Key* keys) const;

  // Whether key a is nearer than key b: by distance, then by the lower record index.
  bool KeyBefore(Key a, Key b) const {
    if ((a >> 32) != (b >> 32)) return a < b;
    return records[KeySlot(a)] < records[KeySlot(b)];
  }
  uint32_t Record(uint32_t slot) const { return records[slot]; }
  uint32_t Count() const { return count; }
  float CellSize() const { return cellSize; }

private:
  friend struct GridSearch;

  // Sets reachPerRootCount from the counts around a few hundred samples.
  void ProbeDensity();

  uint32_t count = 0;
  RenderLib::Vector3 origin;
  float cellSize = 1.0f;
  float inverseCellSize = 1.0f;
  int32_t cells[3] = {0, 0, 0};
  // How far a search reaches for one sample is this, for n samples sqrt(n) times this.
  float reachPerRootCount = 1.0f;
  // cellStart[c] .. cellStart[c + 1] are the positions in cell c; one entry past the last cell.
  std::vector<uint32_t> cellStart;
  // Padded by one vector's width past count, so an eight-wide load never leaves the arrays.
  std::vector<float> xs, ys, zs;
  std::vector<uint32_t> records;
};

}  // namespace Simulation
