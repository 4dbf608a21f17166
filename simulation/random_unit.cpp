#include "simulation/random_unit.h"

#include <atomic>
#include <mutex>

namespace Simulation {

void RandomStream::Seed(uint32_t seed) {
  state[0] = seed;
  for (int i = 1; i < kWords; ++i) {
    state[i] = 1812433253u * (state[i - 1] ^ (state[i - 1] >> 30)) + static_cast<uint32_t>(i);
  }
  index = kWords;
}

void RandomStream::Twist() {
  constexpr int kMiddle = 397;
  constexpr uint32_t kMatrix = 0x9908B0DFu;
  for (int k = 0; k < kWords; ++k) {
    uint32_t y = (state[k] & 0x80000000u) | (state[(k + 1) % kWords] & 0x7FFFFFFFu);
    state[k] = state[(k + kMiddle) % kWords] ^ (y >> 1) ^ ((y & 1u) != 0 ? kMatrix : 0u);
  }
  index = 0;
}

uint32_t RandomStream::Next() {
  if (index >= kWords) Twist();
  uint32_t y = state[index++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

float RandomStream::NextUnit() { return UnitFromBits(Next()); }

float UnitFromBits(uint32_t bits) {
  // The product is exact in double precision, so the only rounding is the one to float.
  return static_cast<float>(static_cast<double>(bits) * 0x1p-32);
}

namespace {

std::mutex processStreamMutex;

// Made at the first use, so a draw from another file's static initialiser still finds it.
RandomStream& ProcessStream() {
  static RandomStream stream;
  return stream;
}

// Seeds for the per-thread streams: the base seed plus n times an odd constant, which is a
// different value for every n below 2^32 and never the base seed itself.
std::atomic<uint32_t> threadSeedBase{RandomStream::kDefaultSeed};
std::atomic<uint32_t> threadStreamsMade{0};
// Moves on at every SeedRandomStreams; a thread whose stream is of an older generation reseeds
// it at its next draw.
std::atomic<uint32_t> streamGeneration{0};

uint32_t NextThreadSeed() {
  uint32_t n = threadStreamsMade.fetch_add(1, std::memory_order_relaxed) + 1;
  return threadSeedBase.load(std::memory_order_relaxed) + n * 0x9E3779B9u;
}

}  // namespace

float RandomUnit() {
  RandomStream& stream = ProcessStream();
  std::lock_guard lock(processStreamMutex);
  return stream.NextUnit();
}

void RandomUnits(float* draws, size_t count) {
  RandomStream& stream = ProcessStream();
  std::lock_guard lock(processStreamMutex);
  for (size_t i = 0; i < count; ++i) draws[i] = stream.NextUnit();
}

RandomStream& ThreadRandomStream() {
  thread_local RandomStream stream;
  thread_local uint32_t generation = ~0u;  // no stream seeded yet
  // One load of a line that is written only between runs: no cost on the tracing path.
  const uint32_t current = streamGeneration.load(std::memory_order_acquire);
  if (generation != current) {
    generation = current;
    stream.Seed(NextThreadSeed());
  }
  return stream;
}

float ThreadRandomUnit() { return ThreadRandomStream().NextUnit(); }

void SeedRandomStreams(uint32_t seed) {
  {
    std::lock_guard lock(processStreamMutex);
    ProcessStream().Seed(seed);
  }
  threadSeedBase.store(seed, std::memory_order_relaxed);
  threadStreamsMade.store(0, std::memory_order_relaxed);
  streamGeneration.fetch_add(1, std::memory_order_release);
}

}  // namespace Simulation
