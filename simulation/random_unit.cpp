#include "simulation/random_unit.h"

#include <algorithm>
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

namespace {

constexpr int kMiddle = 397;

// One word of the twist: the next state of word k from words k, k + 1 and k + 397. The matrix
// is applied by masking rather than by a branch on the low bit, which is a coin toss.
inline uint32_t Twisted(uint32_t word, uint32_t next, uint32_t middle) {
  const uint32_t y = (word & 0x80000000u) | (next & 0x7FFFFFFFu);
  return middle ^ (y >> 1) ^ (0x9908B0DFu & (0u - (y & 1u)));
}

inline uint32_t Tempered(uint32_t y) {
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

}  // namespace

void RandomStream::Twist() {
  // The three stretches in which k + 1 and k + 397 do not wrap around or wrap alike, so the
  // loops need no remainders and the first two vectorise.
  int k = 0;
  for (; k < kWords - kMiddle; ++k) state[k] = Twisted(state[k], state[k + 1], state[k + kMiddle]);
  for (; k < kWords - 1; ++k) state[k] = Twisted(state[k], state[k + 1], state[k + kMiddle - kWords]);
  state[kWords - 1] = Twisted(state[kWords - 1], state[0], state[kMiddle - 1]);
  index = 0;
}

uint32_t RandomStream::Next() {
  if (index >= kWords) Twist();
  return Tempered(state[index++]);
}

float RandomStream::NextUnit() { return UnitFromBits(Next()); }

void RandomStream::NextUnits(float* draws, size_t count) {
  while (count > 0) {
    if (index >= kWords) Twist();
    const size_t run = std::min(count, size_t(kWords - index));
    for (size_t i = 0; i < run; ++i) draws[i] = UnitFromBits(Tempered(state[index + i]));
    index += static_cast<int>(run);
    draws += run;
    count -= run;
  }
}

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
  stream.NextUnits(draws, count);
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
