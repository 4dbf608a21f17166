#include "simulation/trade_log.h"

#include <cstring>

#include "simulation/sample_map.h"
#include "simulation/sample_trade.h"

namespace Simulation {

// Room for eight legs of the largest neighbourhoods and some forty of the default density; a
// leg's record never spans chunks.
struct TradeChunk {
  static constexpr uint32_t kBytes = 16 * 1024;
  static_assert(sizeof(LegTrade) + kMaxNeighbours * sizeof(uint32_t) <= kBytes);

  TradeChunk* next = nullptr;
  uint32_t used = 0;
  alignas(LegTrade) unsigned char bytes[kBytes];
};

TradeLog::TradeLog() = default;
TradeLog::~TradeLog() = default;

TradeChunk* TradeLog::TakeChunk() {
  const std::lock_guard lock(mutex);
  if (chunksTaken == chunks.size()) chunks.push_back(std::make_unique<TradeChunk>());
  TradeChunk* chunk = chunks[chunksTaken++].get();
  chunk->next = nullptr;
  chunk->used = 0;
  return chunk;
}

void TradeLog::Append(TradeChain& chain, int32_t state, int32_t found, const float carried[3], const uint32_t* slots) {
  const uint32_t bytes = uint32_t(sizeof(LegTrade) + size_t(found) * sizeof(uint32_t));
  if (chain.last == nullptr || chain.last->used + bytes > TradeChunk::kBytes) {
    TradeChunk* chunk = TakeChunk();
    (chain.last != nullptr ? chain.last->next : chain.first) = chunk;
    chain.last = chunk;
  }
  unsigned char* at = chain.last->bytes + chain.last->used;
  const LegTrade leg = {state, found, {carried[0], carried[1], carried[2]}};
  std::memcpy(at, &leg, sizeof leg);
  std::memcpy(at + sizeof leg, slots, size_t(found) * sizeof(uint32_t));
  chain.last->used += bytes;
}

void TradeLog::Apply(const TradeChain& chain, TradedSample* samples, uint32_t firstSlot, uint32_t endSlot) {
  for (const TradeChunk* chunk = chain.first; chunk != nullptr; chunk = chunk->next) {
    for (uint32_t at = 0; at < chunk->used;) {
      LegTrade leg;
      std::memcpy(&leg, chunk->bytes + at, sizeof leg);
      const auto* slots = reinterpret_cast<const uint32_t*>(chunk->bytes + at + sizeof leg);
      const float share = 1.0f / static_cast<float>(leg.found);
      for (int32_t i = 0; i < leg.found; ++i) {
        const uint32_t slot = slots[i];
        if (slot >= firstSlot && slot < endSlot) TradeIntoSample(samples[slot], leg.state, share, leg.carried);
      }
      at += uint32_t(sizeof leg + size_t(leg.found) * sizeof(uint32_t));
    }
  }
}

void TradeLog::Clear() {
  const std::lock_guard lock(mutex);
  chunksTaken = 0;
}

}  // namespace Simulation
