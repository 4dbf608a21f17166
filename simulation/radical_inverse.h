#pragma once

#include <cstdint>

namespace Simulation {

// The radical inverse of j in base b: digit k of j (k = 0 the least significant) contributes
// digit × b^-(k+1), so for base 2 the bits of j are mirrored behind the binary point. Summed in
// single precision, digit by digit from the least significant one. A base below 2 has no
// radical inverse and gives 0.
float RadicalInverse(uint32_t j, uint32_t b);

}  // namespace Simulation
