#include "assetexport/chart_fill.h"

#include <algorithm>

namespace AssetExport {

void FillOutsideCharts(const std::vector<uint8_t>& covered, uint32_t size, uint8_t* const* planes,
                       const uint32_t* channels, int planeCount) {
  const size_t texels = size_t(size) * size;
  // The ring a texel was filled in: 1 covered, r + 1 filled in ring r, 0 not yet.
  std::vector<uint32_t> ring(texels, 0);
  std::vector<uint32_t> frontier, next;
  for (size_t i = 0; i < texels; ++i) ring[i] = covered[i] != 0 ? 1u : 0u;
  // Queued texels are marked with the ring they will be filled in, so none is queued twice.
  auto queueNeighbours = [&](size_t i, uint32_t into, std::vector<uint32_t>& queue) {
    const uint32_t x = uint32_t(i % size), y = uint32_t(i / size);
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        const int64_t nx = int64_t(x) + dx, ny = int64_t(y) + dy;
        if (nx < 0 || ny < 0 || nx >= size || ny >= size) continue;
        const size_t n = size_t(ny) * size + size_t(nx);
        if (ring[n] == 0) {
          ring[n] = into;
          queue.push_back(uint32_t(n));
        }
      }
    }
  };
  for (size_t i = 0; i < texels; ++i) {
    if (ring[i] == 1) queueNeighbours(i, 2, frontier);
  }
  uint32_t sums[16];
  for (uint32_t current = 2; !frontier.empty(); ++current) {
    for (uint32_t i : frontier) {
      const uint32_t x = i % size, y = i / size;
      int feeders = 0;
      uint32_t offset = 0;
      for (int k = 0; k < planeCount; ++k) offset += channels[k];
      std::fill(sums, sums + std::min<uint32_t>(offset, 16), 0u);
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          const int64_t nx = int64_t(x) + dx, ny = int64_t(y) + dy;
          if (nx < 0 || ny < 0 || nx >= size || ny >= size) continue;
          const size_t n = size_t(ny) * size + size_t(nx);
          if (ring[n] == 0 || ring[n] >= current) continue;
          ++feeders;
          uint32_t sum = 0;
          for (int k = 0; k < planeCount; ++k) {
            for (uint32_t c = 0; c < channels[k] && sum < 16; ++c, ++sum) sums[sum] += planes[k][n * channels[k] + c];
          }
        }
      }
      uint32_t sum = 0;
      for (int k = 0; k < planeCount; ++k) {
        for (uint32_t c = 0; c < channels[k] && sum < 16; ++c, ++sum) {
          planes[k][size_t(i) * channels[k] + c] = uint8_t((sums[sum] + uint32_t(feeders) / 2) / uint32_t(feeders));
        }
      }
    }
    next.clear();
    for (uint32_t i : frontier) queueNeighbours(i, current + 1, next);
    frontier.swap(next);
  }
}

}  // namespace AssetExport
