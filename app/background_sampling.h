#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "renderlib/kd_tree.h"
#include "simulation/sample_map_builder.h"

// Samples a model's surface on a thread of its own, so that the window goes on drawing: at high
// densities casting the rays and balancing the map take seconds. The thread shares the model
// with whoever started it, so that a sampling that is no longer wanted is never waited for: it
// is cancelled, stops at its next check, and drops its share of the model on its own thread.
// Used from one thread (the window thread).
class BackgroundSampling {
public:
  BackgroundSampling();
  // Cancels every sampling and waits for their threads.
  ~BackgroundSampling();
  BackgroundSampling(const BackgroundSampling&) = delete;
  BackgroundSampling& operator=(const BackgroundSampling&) = delete;

  // Starts sampling the model at the density, cancelling a sampling under way.
  void Start(std::shared_ptr<const RenderLib::KdTree> kdTree, std::shared_ptr<const Simulation::Soup> mesh,
             int32_t density);
  // Cancels the sampling under way, if any, without waiting for it.
  void Cancel();
  // Frees samples that were replaced on a thread of their own: hundreds of megabytes at high
  // densities take a while to give back.
  void Discard(std::unique_ptr<Simulation::SampleMap> map);
  // Started, and not yet taken or cancelled.
  bool UnderWay() const { return current != nullptr; }
  // The share done (0 to 1) of the sampling under way; -1 when none is.
  float Progress() const;
  // Once the sampling under way has finished: its map (none when the model has no surface to
  // sample, or when there was no memory for it: outOfMemory) and spacing, and true; false while
  // it goes on or when none is under way.
  bool TakeFinished(Simulation::SampleMapBuild& finished);
  // Cancels every sampling and waits for their threads (at exit, so that none outlives what it
  // reports to).
  void WaitForAll();

private:
  struct Job;
  // Joins the cancelled samplings and the discards that have ended.
  void ReapCancelled();

  std::unique_ptr<Job> current;
  // Cancelled samplings and discards, until their threads are joined.
  std::vector<std::unique_ptr<Job>> cancelled;
};
