#pragma once

// How well this machine itself scales from one thread to two, on three plain loops that share
// nothing: register arithmetic, a chain of dependent loads over a large array (memory latency)
// and a streaming sum (memory bandwidth). Each thread runs the same work on its own data; the
// scaling is 2 × (seconds on one thread) / (seconds with two at once), 2.0 when the two threads
// do not slow each other down. It bounds what any two-worker code on the machine can reach.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <tuple>
#include <utility>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

namespace Bench {

// Wall-clock scalings, and the same from processor time (2 × processor seconds of the work
// alone / processor seconds of both runs together), which leaves out time other programs took
// the cores for, as the step's cpu_scaling does.
struct CoreScaling {
  double compute = 0, latency = 0, bandwidth = 0;
  double cpuCompute = 0, cpuLatency = 0, cpuBandwidth = 0;
};

namespace ProbeDetail {

// Four independent multiply-xorshift chains: the core's arithmetic units and nothing else. They
// keep the multiplier busy most cycles, so two hyperthreads of one core, which share it, would
// scale well below 2 here.
inline uint64_t Compute(uint64_t seed, int64_t rounds) {
  uint64_t a = seed, b = seed + 1, c = seed + 2, d = seed + 3;
  for (int64_t i = 0; i < rounds; ++i) {
    a = (a ^ (a >> 29)) * 0xBF58476D1CE4E5B9ull;
    b = (b ^ (b >> 27)) * 0x94D049BB133111EBull;
    c = (c ^ (c >> 31)) * 0xBF58476D1CE4E5B9ull;
    d = (d ^ (d >> 30)) * 0x94D049BB133111EBull;
  }
  return a ^ b ^ c ^ d;
}

// One random cycle through the whole array: every load waits for the one before it.
inline std::vector<uint32_t> MakeCycle(uint32_t count, uint32_t seed) {
  std::vector<uint32_t> order(count);
  std::iota(order.begin(), order.end(), 0u);
  std::shuffle(order.begin(), order.end(), std::mt19937(seed));
  std::vector<uint32_t> next(count);
  for (uint32_t i = 0; i < count; ++i) next[order[i]] = order[(i + 1) % count];
  return next;
}

inline uint64_t Chase(const std::vector<uint32_t>& next, int64_t steps) {
  uint32_t at = 0;
  for (int64_t i = 0; i < steps; ++i) at = next[at];
  return at;
}

inline uint64_t Stream(const std::vector<uint32_t>& data, int passes) {
  uint64_t sum = 0;
  for (int p = 0; p < passes; ++p) {
    for (uint32_t value : data) sum += value;
  }
  return sum;
}

// work(0) alone, then work(0) and work(1) on two threads at once: {wall, processor} scaling.
template <class Work>
std::pair<double, double> Scaling(Work work) {
  using Clock = std::chrono::steady_clock;
  volatile uint64_t sink = 0;
  std::clock_t cpuStart = std::clock();
  Clock::time_point start = Clock::now();
  sink = sink + work(0);
  const double one = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpuOne = static_cast<double>(std::clock() - cpuStart);
  uint64_t results[2] = {0, 0};
  cpuStart = std::clock();
  start = Clock::now();
  std::thread other([&] { results[1] = work(1); });
  results[0] = work(0);
  other.join();
  const double two = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpuTwo = static_cast<double>(std::clock() - cpuStart);
  sink = sink + results[0] + results[1];
  return {2.0 * one / two, 2.0 * cpuOne / cpuTwo};
}

}  // namespace ProbeDetail

// Takes a second or two. Each thread's arrays are 64 MiB, well past the caches.
inline CoreScaling MeasureCoreScaling() {
  using namespace ProbeDetail;
  constexpr uint32_t kWords = 16u << 20;
  const std::vector<uint32_t> cycles[2] = {MakeCycle(kWords, 1), MakeCycle(kWords, 2)};
  CoreScaling scaling;
  std::tie(scaling.compute, scaling.cpuCompute) =
      Scaling([](int thread) { return Compute(static_cast<uint64_t>(thread) + 7, 200'000'000); });
  std::tie(scaling.latency, scaling.cpuLatency) = Scaling([&](int thread) { return Chase(cycles[thread], 4'000'000); });
  std::tie(scaling.bandwidth, scaling.cpuBandwidth) = Scaling([&](int thread) { return Stream(cycles[thread], 8); });
  return scaling;
}

}  // namespace Bench
