#pragma once

#include <cstdint>

namespace Simulation {

// What a ton does after the hit where it was chosen.
enum TonState : int32_t {
  kBounce = 0,   // trades all three quantities both ways, leaves in a random direction
  kScatter = 1,  // as kBounce
  kFlow = 2,     // deposits humidity, trades dirt, moves downhill along the surface
  kSettle = 3,   // deposits everything and ends
};

}  // namespace Simulation
