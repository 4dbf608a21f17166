#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "renderlib/vector3.h"
#include "simulation/simulation_params.h"
#include "simulation/trace_task.h"
#include "simulation/trade_log.h"
#include "threadinglib/thread_pool.h"
#include "threadinglib/thread_process.h"

namespace Simulation {

// The ageing run, meant to be started on its own ThreadingLib::Thread with a SimulationParams
// block. Each step shoots tonsPerStep tons from the emission hemisphere, traces them to the end
// on a pool of workers, ages the samples once, bakes the humidity, dirt and rust masks of the
// step and reports it. Stop requests are honoured before each step, while a step's tons are
// being set up, after every ton leg, after the tracing and before the masks are written; a
// stopped step writes no masks, and the masks of the steps before it stay; a stop during the
// bake ends it within moments. After every step saved the run keeps its session beside the
// masks (session_file.h), so that another run can continue it. A step that runs out of memory fails (its report says so) and
// ends the run.
class PatinexProcess final : public ThreadingLib::ThreadProcess {
public:
  // parameters points to a SimulationParams. Always returns 0, whether the run completed or
  // was stopped.
  int32_t Run(void* parameters) override;

  // What one step shot: the tons put on the pool and the legs they ran.
  struct TonCounts {
    uint32_t tons = 0;
    uint64_t legs = 0;
  };

  // Tons a reproducible run traces against one state of the samples before it applies their
  // trades: a fixed number, so that the result does not depend on the workers.
  static constexpr int32_t kTonsPerBatch = 512;

  // Shoots one step's tons, starting from the emission point at float index nextPoint of
  // points (pointFloats floats in all; nextPoint moves on and wraps round), aimed at aim, and
  // waits until they have all ended or the run was stopped. A step stopped while its tons were
  // being set up shot nothing and counts nothing. The sample map trades meanwhile
  // (TradingWindow); its records hold the quantities again when this returns. Ton t of the step
  // draws from TonRandom::For(tonSeed, t). With params.deterministic the tons run in batches of
  // kTonsPerBatch that read the samples as the batch found them, and the batch's trades are
  // applied in ton order before the next batch starts: the same samples on any number of workers.
  TonCounts SpawnTons(ThreadingLib::ThreadPool& pool, const float* points, uint32_t& nextPoint, uint32_t pointFloats,
                      const RenderLib::Vector3& aim, float radius, SimulationParams& params);

  // Readies a ton as every ton of a step starts: bouncing, with the three weights at 0.8,
  // carrying 0.1 humidity, 0.2 dirt and no rust, searching radius × 0.1 for at most the density's
  // neighbours, aimed at aim, with no normal yet.
  static void StartTon(TraceTask& ton, const RenderLib::Vector3& aim, float radius, const SimulationParams& params,
                       BlockArena* arena);

  // The pool's completion callback while tons run (userData is the SimulationParams): calls the
  // step off when a stop was asked for, and otherwise reports progress whenever the number of
  // live tons is a multiple of 100.
  static bool TraceProgress(ThreadingLib::ThreadPool* pool, ThreadingLib::Task* task, void* userData);

  // The seed of the tons' random streams of the next SpawnTons; a run sets it at every step.
  uint32_t tonSeed = 0;

private:
  // Where the run is, for the report when memory runs out.
  struct Progress {
    int32_t step = 0;
    const char* doing = "";
  };
  void RunSteps(SimulationParams& params, Progress& progress);

  // The step's tasks while they run, to add up their legs afterwards; emptied before SpawnTons
  // returns, since they live in the step's arena. Reserved once per run, so steps allocate
  // nothing here.
  std::vector<TraceTask*> stepTasks;
  // The emission points the history's tons have started from, this run's included.
  uint64_t emissionsUsed = 0;
  // The tons of the step handed to the pool so far, for the progress reports.
  int32_t tonsQueued = 0;
  // A reproducible run's recorded trades, kept from batch to batch so that its chunks are reused.
  TradeLog tradeLog;
  // Applies the trades of tasks[first, end) to the samples, in order.
  void ApplyTrades(ThreadingLib::ThreadPool& pool, size_t first, size_t end, SampleMap& map);
};

// The seed a seeded run restarts its random streams from at the step numbered step: one for
// every seed and step, so a step draws alike however the run making it began.
uint32_t StepSeed(uint32_t seed, int32_t step);

// About how many bytes a run takes beyond its samples, model and masks: the emission points, the
// tons of a step and the samples' traded copies.
uint64_t RunBytes(int32_t steps, int32_t tonsPerStep, uint64_t samples);

}  // namespace Simulation
