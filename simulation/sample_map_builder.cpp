#include "simulation/sample_map_builder.h"

#include <optional>

#include "simulation/block_arena.h"
#include "threadinglib/thread_pool.h"

namespace Simulation {

SampleMapBuild BuildSampleMap(const RenderLib::KdTree& kdTree, const Soup& mesh, int32_t density,
                              const float initialValues[3], const SamplingControl* control) {
  static constexpr float kNothing[3] = {0.0f, 0.0f, 0.0f};
  if (initialValues == nullptr) initialValues = kNothing;
  std::optional<SamplingProgress> progress;
  if (control != nullptr) {
    progress.emplace(*control);
    progress->BeginStage(0.0f, kCastingEnds, static_cast<double>(MaxSampleCount(mesh.GetBoundingBox(), density)));
  }

  ThreadingLib::ThreadPool pool;
  const bool poolReady = pool.CreateForProcessors(control != nullptr ? control->workerPriority : 0);
  // Each side in a few runs of rays, so that the workers finish together however unequal the
  // sides are.
  constexpr uint32_t kChunks = 4;
  constexpr int kTasks = 6 * kChunks;
  BlockArena arena(kTasks, sizeof(SamplingTask));
  SamplingTask* tasks[kTasks] = {};
  for (int32_t t = 0; t < kTasks; ++t) {
    SamplingTask* task = tasks[t] = arena.Create<SamplingTask>(&pool);
    task->density = density;
    task->direction = t / static_cast<int32_t>(kChunks);
    task->chunk = static_cast<uint32_t>(t) % kChunks;
    task->chunkCount = kChunks;
    for (int i = 0; i < 3; ++i) task->initialValues[i] = initialValues[i];
    task->kdTree = &kdTree;
    task->mesh = &mesh;
    task->keepHits = true;
    task->stop = control != nullptr ? control->cancel : nullptr;
    task->progress = progress ? &*progress : nullptr;
    // Without workers the sides are sampled right here, one after the other.
    if (!poolReady || !pool.Add(task)) task->Run(0);
  }
  pool.RunAndWait();

  SampleMapBuild result;
  if (progress && progress->Cancelled()) {
    for (SamplingTask* task : tasks) task->~SamplingTask();
    result.stopped = true;
    return result;
  }
  // The runs' hits go to the map as they are, in side and run order: it reads them as one
  // array without joining them first, and makes each record once, in its final place.
  std::vector<SampleHit> parts[kTasks];
  for (int t = 0; t < kTasks; ++t) parts[t].swap(tasks[t]->hits);
  result.spacing = tasks[0]->sampleSpacing;
  for (const SamplingTask* task : tasks) {
    result.outOfMemory = result.outOfMemory || task->outOfMemory;
    result.stopped = result.stopped || task->stopped;
  }
  result.map = std::make_unique<SampleMap>(parts, kTasks, mesh, initialValues, poolReady ? &pool : nullptr,
                                           progress ? &*progress : nullptr);
  if (progress && progress->Cancelled()) {
    result.stopped = true;
    result.map.reset();
  }
  // The arena never runs destructors; the tasks' arrays are empty by now, but their
  // destructors are the place that would free them.
  for (SamplingTask* task : tasks) task->~SamplingTask();
  return result;
}

uint64_t MaxSampleCount(const RenderLib::BoundingBox& box, int32_t density) {
  const float spacing = SampleSpacing(box, density);
  if (!(spacing > 0.0f)) return 0;
  double rays = 0.0;
  for (int32_t side = 0; side < 6; ++side) {
    const double sideRays = RaysPerSide(box, spacing, side);
    if (sideRays <= kMaxRaysPerSide) rays += sideRays;
  }
  return static_cast<uint64_t>(rays);
}

uint64_t SampleMapBuildBytes(uint64_t maxSamples) {
  // Per ray: its hit, kept while the rays are cast, then the sample's record and its place in
  // the neighbour search's grid.
  return maxSamples * (sizeof(SampleHit) + sizeof(SurfaceSample) + 4 * sizeof(float));
}

}  // namespace Simulation
