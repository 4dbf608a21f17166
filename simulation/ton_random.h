#pragma once

#include <cstdint>

#include "simulation/random_unit.h"

namespace Simulation {

// A ton's own random stream: SplitMix64 (a Weyl sequence through a 64-bit finaliser), eight
// bytes of state, so every ton of a step can carry one. A stream seeded from the step's seed and
// the ton's number draws the same numbers whichever worker runs the ton's legs and in whatever
// order, which is what lets a run repeat itself on any number of workers.
struct TonRandom {
  uint64_t state = 0;

  // The stream of ton number `ton` of a step whose tons draw from stepSeed.
  static TonRandom For(uint32_t stepSeed, uint32_t ton) {
    TonRandom random;
    random.state = Mix((uint64_t(stepSeed) << 32) | ton);
    return random;
  }

  uint32_t Next() {
    state += 0x9E3779B97F4A7C15ull;
    return uint32_t(Mix(state) >> 32);
  }
  // In [0, 1], as UnitFromBits scales.
  float NextUnit() { return UnitFromBits(Next()); }

  static uint64_t Mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
};

}  // namespace Simulation
