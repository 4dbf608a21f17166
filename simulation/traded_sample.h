#pragma once

#include <type_traits>

#include "renderlib/vector3.h"

namespace Simulation {

// What a ton reads and trades at one sample during a step: a copy of those fields of its
// SurfaceSample, kept in the neighbour search's order so that the samples around a point lie
// side by side and a leg touches a few cache lines of these instead of one or two 96-byte
// records per neighbour. The quantities are traded by many workers at once through
// std::atomic_ref, like the record's own.
struct TradedSample {
  float humidity;
  float dirt;
  float rust;
  float bounceDamping;
  float scatterDamping;
  float flowDamping;
  RenderLib::Vector3 normal;
};

static_assert(sizeof(TradedSample) == 9 * 4);
static_assert(std::is_trivially_copyable_v<TradedSample>);

}  // namespace Simulation
