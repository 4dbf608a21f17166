#include "simulation/hammersley.h"

#include <cstddef>

#include "simulation/radical_inverse.h"

namespace Simulation {
namespace {

uint32_t ReverseBits(uint32_t j) {
  j = ((j >> 1) & 0x55555555u) | ((j & 0x55555555u) << 1);
  j = ((j >> 2) & 0x33333333u) | ((j & 0x33333333u) << 2);
  j = ((j >> 4) & 0x0F0F0F0Fu) | ((j & 0x0F0F0F0Fu) << 4);
  j = ((j >> 8) & 0x00FF00FFu) | ((j & 0x00FF00FFu) << 8);
  return (j >> 16) | (j << 16);
}

}  // namespace

void Hammersley2D(float* points, uint32_t count) { Hammersley2D(points, count, 0, count); }

void Hammersley2D(float* points, uint32_t count, uint32_t first, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) {
    const uint32_t j = first + i;
    float* point = points + 2 * static_cast<std::size_t>(i);
    // Below 2^24 the mirrored bits span at most 24 binary places, so a float holds them exactly,
    // as it does every partial sum of RadicalInverse: the same value without the loop.
    point[0] = j < (1u << 24) ? static_cast<float>(ReverseBits(j)) * 0x1p-32f : RadicalInverse(j, 2);
    // In double precision so that large counts still get their half-step offset.
    point[1] = static_cast<float>((static_cast<double>(j) + 0.5) / count);
  }
}

}  // namespace Simulation
