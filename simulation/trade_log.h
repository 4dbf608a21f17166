#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "simulation/traded_sample.h"

namespace Simulation {

// The trades of a reproducible run's batch of tons, kept until the batch has been traced and
// then applied to the samples in the tons' order, so that the samples end the same whichever
// worker traced which ton when.

// One leg's trade: followed in its chunk by the `found` sample slots it trades with.
struct LegTrade {
  int32_t state;
  int32_t found;
  float carried[3];
};

struct TradeChunk;

// A ton's legs in the order it ran them. Only the worker running the ton's leg touches it.
struct TradeChain {
  TradeChunk* first = nullptr;
  TradeChunk* last = nullptr;
};

class TradeLog {
public:
  TradeLog();
  ~TradeLog();
  TradeLog(const TradeLog&) = delete;
  TradeLog& operator=(const TradeLog&) = delete;

  // Appends one leg's trade to the ton's chain, the slots copied from `slots`. Safe from many
  // workers at once for different chains. Takes a new chunk when the chain's last is full: from
  // those kept from earlier batches, so that once the log has grown to a batch's needs no leg
  // allocates. Throws std::bad_alloc when memory runs out.
  void Append(TradeChain& chain, int32_t state, int32_t found, const float carried[3], const uint32_t* slots);

  // Trades the chain's legs into samples (indexed by slot), leg after leg, skipping the slots
  // outside [firstSlot, endSlot): applying every chain of a batch in order over disjoint slot
  // ranges, on as many threads as there are ranges, gives the same samples as one thread would.
  static void Apply(const TradeChain& chain, TradedSample* samples, uint32_t firstSlot, uint32_t endSlot);

  // Forgets every chain's legs (the chains themselves are the tons'); keeps the chunks.
  void Clear();

private:
  TradeChunk* TakeChunk();

  std::mutex mutex;  // guards the two below; a chunk is taken once per dozens of legs
  std::vector<std::unique_ptr<TradeChunk>> chunks;
  size_t chunksTaken = 0;
};

}  // namespace Simulation
