#pragma once

#include <cstdint>

#include "renderlib/kd_tree.h"
#include "renderlib/vector3.h"
#include "simulation/block_arena.h"
#include "simulation/sample_map.h"
#include "simulation/sampling_task.h"
#include "simulation/ton_random.h"
#include "simulation/ton_state.h"
#include "simulation/trade_log.h"
#include "threadinglib/task.h"

namespace Simulation {

// One ton: a carrier of humidity, dirt and rust shot at the model. Each run is one leg of its
// life: find where the ton is, trade with the samples around that point, choose what happens
// next and, if the ton goes on, put the task back on its pool for the next leg. Between legs
// the ton's whole state is in these fields. Each ton has cache lines of its own: two workers
// run tons made one after the other, and every leg writes its ton. Tons trade with the sample
// map's traded copies, so they run only while the map is trading (TradingWindow): at once, or,
// when the ton has a trade log, by recording its trades there to be applied after the batch.
class alignas(64) TraceTask final : public ThreadingLib::Task {
public:
  explicit TraceTask(ThreadingLib::ThreadPool* pool) : Task(pool) {}

  void Run(uint32_t context) override;
  uint32_t Prepare() override { return 0; }

  int32_t state = kBounce;
  float pBounce = 0.8f;
  float pScatter = 0.8f;
  float pFlow = 0.8f;
  float carriedHumidity = 0.1f;
  float carriedDirt = 0.2f;
  float carriedRust = 0.0f;
  RenderLib::Vector3 position;  // start of the next leg
  RenderLib::Vector3 target;    // end of the next straight leg
  float searchRadius = 0.0f;
  int32_t maxNeighbours = 100;
  const RenderLib::KdTree* kdTree = nullptr;
  const Soup* mesh = nullptr;
  SampleMap* sampleMap = nullptr;
  BlockArena* arena = nullptr;
  float avgHumidity = 0.0f;  // means over the samples found at the last hit
  float avgDirt = 0.0f;
  float avgRust = 0.0f;
  RenderLib::Vector3 normal;  // normalised mean normal of those samples
  // The sample grid spacing; a flowing ton moves (avgHumidity × 50 + 1) spacings per leg.
  float sampleSpacing = 0.0f;
  // Legs run so far, for the run's statistics.
  uint32_t legs = 0;
  // The ton's own draws: where it bounces and flows and what it does next.
  TonRandom random;
  // Set in a reproducible run: the leg leaves the samples as it found them and records its
  // trades in trades instead (trade_log.h).
  TradeLog* tradeLog = nullptr;
  TradeChain trades;
};

}  // namespace Simulation
