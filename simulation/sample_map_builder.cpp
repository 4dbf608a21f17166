#include "simulation/sample_map_builder.h"

#include <cstdio>

#include "simulation/block_arena.h"
#include "threadinglib/thread_pool.h"

namespace Simulation {

SampleMapBuild BuildSampleMap(const RenderLib::KdTree& kdTree, const Soup& mesh, int32_t density,
                              const float initialValues[3]) {
  static constexpr float kNothing[3] = {0.0f, 0.0f, 0.0f};
  if (initialValues == nullptr) initialValues = kNothing;

  ThreadingLib::ThreadPool pool;
  const bool poolReady = pool.CreateForProcessors(0);
  BlockArena arena(128, sizeof(SamplingTask));
  SamplingTask* tasks[6] = {};
  for (int32_t side = 0; side < 6; ++side) {
    tasks[side] = arena.Create<SamplingTask>(&pool);
    tasks[side]->density = density;
    tasks[side]->direction = side;
    for (int i = 0; i < 3; ++i) tasks[side]->initialValues[i] = initialValues[i];
    tasks[side]->kdTree = &kdTree;
    tasks[side]->mesh = &mesh;
    // Without workers the sides are sampled right here, one after the other.
    if (!poolReady || !pool.Add(tasks[side])) tasks[side]->Run(0);
  }
  pool.RunAndWait();

  SampleMapBuild result;
  bool complete = true;
  for (int side = 4; side >= 0; --side) {
    complete = tasks[side]->samples.Append(tasks[side + 1]->samples) && complete;
    tasks[side + 1]->samples.Free();
  }
  if (!complete) std::fprintf(stderr, "sampling: out of memory while merging the sides' samples\n");
  result.spacing = tasks[0]->sampleSpacing;
  result.map = std::make_unique<SampleMap>(tasks[0]->samples);
  // The arena never runs destructors; the tasks' arrays are empty by now, but their
  // destructors are the place that would free them.
  for (SamplingTask* task : tasks) task->~SamplingTask();
  return result;
}

}  // namespace Simulation
