#include "simulation/sampling_progress.h"

#include <algorithm>

namespace Simulation {

void SamplingProgress::BeginStage(float from, float to, double units) {
  stageFrom = from;
  stageTo = to;
  stageUnits = std::max(units, 1.0);
  done.store(0, std::memory_order_relaxed);
  Publish(from);
}

void SamplingProgress::Add(uint64_t units) {
  const uint64_t total = done.fetch_add(units, std::memory_order_relaxed) + units;
  const double share = std::min(1.0, static_cast<double>(total) / stageUnits);
  Publish(stageFrom + (stageTo - stageFrom) * static_cast<float>(share));
}

void SamplingProgress::Publish(float share) {
  if (control.progress == nullptr) return;
  float shown = control.progress->load(std::memory_order_relaxed);
  while (share > shown && !control.progress->compare_exchange_weak(shown, share, std::memory_order_relaxed)) {
  }
}

}  // namespace Simulation
