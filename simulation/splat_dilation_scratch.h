#pragma once

#include <cstdint>
#include <vector>

namespace Simulation {

// The dilation's distances, kept so that later masks of the same size reuse their memory.
struct DilationScratch {
  std::vector<uint8_t> reach;
  // Per row, a bit per whole block of 16 texels that holds a texel some pass fills.
  std::vector<uint64_t> blocks;
};

}  // namespace Simulation
