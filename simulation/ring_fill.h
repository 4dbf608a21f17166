#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Simulation {

// Fills the empty texels of float planes outwards from the covered ones, ring by ring: the
// ring of an empty texel is its chessboard distance to the nearest covered texel, and each
// texel of ring r takes the mean of its neighbours (across an edge or a corner) that were
// covered or filled in rings before r. Mark works out the rings once; Fill then fills any
// number of planes that share that coverage.
//
// The marks are width x height bytes with a border of one all round (rows width + 2 bytes
// apart, the first texel at width + 3) and 16 spare bytes after the bottom border: 0 for an
// empty texel, kRingBorder on the border, anything else covered (so that the next Mark reads
// everything the last one reached as covered).
class RingFill {
public:
  // The most rings one Mark can reach: its marks are bytes.
  static constexpr int kMaxRings = 253;
  static constexpr uint8_t kRingBorder = 255;

  // Rewrites the marks as the ring each texel belongs to: 1 covered, 1 + r for ring r (up to
  // `rings`, clamped to 0 .. kMaxRings), 0 beyond. Returns the rings it reached.
  int Mark(uint8_t* marks, uint32_t width, uint32_t height, int rings);

  // Fills the texels of the rings the last Mark gave, in a plane of the same size: values
  // points at its first texel, rows pitch floats apart (pitch >= width + 16). Every texel Mark
  // did not mark covered must hold 0, and so must the columns past the width; the plane must
  // be readable (and hold 0) pitch + 16 floats before its first texel and after its last row.
  void Fill(float* values, ptrdiff_t pitch) const;
  // The same for planeCount planes of that layout at once, which reads the marks once for up to
  // kPlanesAtOnce of them.
  void Fill(float* const* planes, int planeCount, ptrdiff_t pitch) const;
  static constexpr int kPlanesAtOnce = 3;

  // Whether the last Mark gave a texel of row y's block of 16 (texels 16 * block .. 16 * block
  // + 15) a ring, so that Fill fills it; always true for the texels past a row's last whole
  // block, which are not told apart.
  bool BlockFills(uint32_t y, uint32_t block) const;

private:
  void FillTogether(float* const* planes, int planeCount, ptrdiff_t pitch) const;

  uint8_t* marks = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
  int rings = 0;
  // Kept so that later marks of the same size reuse their memory: per texel the column
  // distances, and per row a bit per whole block of 16 texels that holds a texel to fill.
  std::vector<uint8_t> reach;
  std::vector<uint64_t> blocks;
};

}  // namespace Simulation
