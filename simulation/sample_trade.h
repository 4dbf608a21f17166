#pragma once

#include <atomic>
#include <cstdint>

#include "simulation/ton_state.h"
#include "simulation/traded_sample.h"

namespace Simulation {

// One ton's trade with one of the `found` samples around its hit (share = 1 / found), in the
// two halves a reproducible run applies at different times: the sample's side while or after
// the ton runs, the ton's side at once.
//
// Sample quantities may be traded by every worker at once with no lock: each read and write is
// a relaxed atomic, so there is no data race, and when two tons trade with one sample at the
// same moment one of the two writes may win, which the default run accepts.
inline float LoadQuantity(float& quantity) { return std::atomic_ref<float>(quantity).load(std::memory_order_relaxed); }
inline void StoreQuantity(float& quantity, float value) {
  std::atomic_ref<float>(quantity).store(value, std::memory_order_relaxed);
}

// What the sample becomes when a ton in `state` carrying `carried` (humidity, dirt, rust)
// trades with it: a bounce blends all three a · carried + (1 − a) · held with a = share / 2; a
// flow adds half its humidity share and blends dirt with a = 0.3 · share; settling adds half the
// share of everything.
inline void TradeIntoSample(TradedSample& sample, int32_t state, float share, const float carried[3]) {
  float* quantities[3] = {&sample.humidity, &sample.dirt, &sample.rust};
  if (state == kBounce || state == kScatter) {
    const float a = share * 0.5f;
    for (int q = 0; q < 3; ++q) {
      StoreQuantity(*quantities[q], a * carried[q] + (1.0f - a) * LoadQuantity(*quantities[q]));
    }
  } else if (state == kFlow) {
    StoreQuantity(sample.humidity, LoadQuantity(sample.humidity) + 0.5f * share * carried[0]);
    const float a = 0.3f * share;
    StoreQuantity(sample.dirt, (1.0f - a) * LoadQuantity(sample.dirt) + a * carried[1]);
  } else {
    for (int q = 0; q < 3; ++q) StoreQuantity(*quantities[q], LoadQuantity(*quantities[q]) + 0.5f * share * carried[q]);
  }
}

// What the ton carries on with after trading with a sample that held `held`: the mirror blend
// of TradeIntoSample's for the quantities traded both ways, the load unchanged otherwise. A ton
// leaves a leg with what its trade with the last (nearest) neighbour gives it.
inline void TradeIntoTon(int32_t state, float share, const float carried[3], const float held[3], float leaving[3]) {
  for (int q = 0; q < 3; ++q) leaving[q] = carried[q];
  if (state == kBounce || state == kScatter) {
    const float a = share * 0.5f;
    for (int q = 0; q < 3; ++q) leaving[q] = (1.0f - a) * carried[q] + a * held[q];
  } else if (state == kFlow) {
    const float a = 0.3f * share;
    leaving[1] = (1.0f - a) * carried[1] + a * held[1];
  }
}

}  // namespace Simulation
