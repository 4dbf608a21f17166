#pragma once

#include <atomic>
#include <cstdint>

namespace Simulation {

// Lets another thread follow a long sampling and stop it: the sampling stores the share of its
// work done (0 to 1) into progress as it goes, and once cancel is set it stops at its next check
// and gives no map. Either may be left out. The sampling's workers run at workerPriority (-2
// lowest .. 2 highest, 0 as they start), below a window that goes on drawing, for one.
struct SamplingControl {
  std::atomic<float>* progress = nullptr;
  const std::atomic<bool>* cancel = nullptr;
  int32_t workerPriority = 0;
};

// Where the stages of a sampling end, as shares of its work (as measured on the shipped models):
// casting the rays, filling the sample map's balancing list, the balancing, and then the copy
// into heap order beside the search grid.
inline constexpr float kCastingEnds = 0.25f;
inline constexpr float kBalancingListEnds = 0.3f;
inline constexpr float kBalancingEnds = 0.55f;

// How far one sampling has got, shared by its tasks. The work goes in stages, each a span of the
// whole share; within a stage, units of work are counted from any thread. Stages are set between
// batches of tasks, while none counts.
class SamplingProgress {
public:
  explicit SamplingProgress(const SamplingControl& control) : control(control) {}

  // The next units of work carry the published share from `from` to `to`.
  void BeginStage(float from, float to, double units);
  void Add(uint64_t units);
  bool Cancelled() const { return control.cancel != nullptr && control.cancel->load(std::memory_order_relaxed); }

private:
  // Stores share unless a larger one is there already: tasks finish out of order.
  void Publish(float share);

  SamplingControl control;
  float stageFrom = 0.0f;
  float stageTo = 0.0f;
  double stageUnits = 1.0;
  std::atomic<uint64_t> done{0};
};

}  // namespace Simulation
