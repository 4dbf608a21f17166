#pragma once

#include <cstddef>
#include <cstdint>

namespace Simulation {

// media/SPLAT.png as it was when the program was built (the bytes are made at build time), for
// a program started where no media/ folder can be found.
extern const uint8_t kBuiltInSplatPng[];
extern const size_t kBuiltInSplatPngSize;

}  // namespace Simulation
