#include "platform_os/platform_timer.h"

#include <chrono>
#include <thread>

namespace Platform {

int64_t PerformanceCounter() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int64_t PerformanceFrequency() { return 1'000'000'000; }

void Sleep(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

}  // namespace Platform
