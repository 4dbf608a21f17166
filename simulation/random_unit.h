#pragma once

#include <cstddef>
#include <cstdint>

namespace Simulation {

// The 32-bit Mersenne Twister exactly as published (MT19937: 624 words of state, initialisation
// multiplier 1812433253, the published tempering), so that a given seed always yields the same
// numbers on every platform.
class RandomStream {
public:
  static constexpr uint32_t kDefaultSeed = 5489;

  explicit RandomStream(uint32_t seed = kDefaultSeed) { Seed(seed); }

  void Seed(uint32_t seed);
  // The next 32-bit output.
  uint32_t Next();
  // The next output scaled into [0, 1], see UnitFromBits.
  float NextUnit();
  // The next count outputs scaled as NextUnit scales them, the same numbers as count NextUnit
  // calls.
  void NextUnits(float* draws, size_t count);

private:
  static constexpr int kWords = 624;
  void Twist();

  uint32_t state[kWords];
  int index = kWords;
};

// bits × 2^-32 rounded once to single precision. The result lies in [0, 1]; outputs within 128
// of 2^32 round to exactly 1.
float UnitFromBits(uint32_t bits);

// Two kinds of random stream serve the simulation.
//
// RandomUnit draws from the one process-wide stream. It starts from the default seed at the
// first draw after program start, so the first run of a program always draws the same rotation
// angle and later runs continue the stream. The process thread draws from it (rotation angle,
// splat jitter); a mutex keeps its state consistent if other threads draw as well.
float RandomUnit();
// The next count draws of the same stream at once, under one lock: the same numbers as count
// RandomUnit calls.
void RandomUnits(float* draws, size_t count);

// ThreadRandomUnit draws from the calling thread's own stream, created at the thread's first
// draw. The tracing workers draw several numbers per leg; sharing one locked stream would make
// every draw a contended lock, so each thread has its own generator instead, with no lock at
// all. Every thread's stream gets its own seed (never the process-wide stream's and never
// another thread's), so no two threads repeat each other's numbers.
float ThreadRandomUnit();
RandomStream& ThreadRandomStream();

// Restarts both kinds of stream for a seeded run: the process-wide stream from seed at once, and
// every thread's stream at that thread's next draw from seed + n × 0x9E3779B9, n counting the
// threads that draw from then on (1, 2, ...). With the default seed this is the state the
// streams have at program start. Call it while no other thread draws.
void SeedRandomStreams(uint32_t seed);

}  // namespace Simulation
