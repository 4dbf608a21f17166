#pragma once

#include <cstdint>

namespace Platform {

// A monotonic high-resolution counter and its ticks per second.
int64_t PerformanceCounter();
int64_t PerformanceFrequency();
void Sleep(uint32_t milliseconds);

}  // namespace Platform
