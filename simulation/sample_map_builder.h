#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "renderlib/kd_tree.h"
#include "simulation/sample_map.h"
#include "simulation/sampling_progress.h"
#include "simulation/sampling_task.h"

namespace Simulation {

struct SampleMapBuild {
  std::unique_ptr<SampleMap> map;
  float spacing = 0.0f;  // the grid spacing the samples were placed at
  bool outOfMemory = false;  // some side's rays found no memory for their samples and cast nothing
  bool stopped = false;      // cancelled: there is no map
};

// Covers the model's surface with samples at the density (1..500) by sampling the six sides of
// its bounding box in parallel, a few tasks per side on a pool of one worker per processor.
// Samples come in side order 0..5 and start with the given humidity, dirt and rust. With a
// control, the share done is reported as it grows, and once its cancel flag becomes true the
// sampling ends early (stopped) and gives no map. Throws std::bad_alloc when the map itself
// finds no memory.
SampleMapBuild BuildSampleMap(const RenderLib::KdTree& kdTree, const Soup& mesh, int32_t density,
                              const float initialValues[3] = nullptr, const SamplingControl* control = nullptr);

// The most samples a model with this bounding box can get at this density: one for every ray
// cast (a side that would cast more than kMaxRaysPerSide casts none).
uint64_t MaxSampleCount(const RenderLib::BoundingBox& box, int32_t density);

// About the most bytes sampling with this many rays takes, the samples' map included, which
// stays for the run.
uint64_t SampleMapBuildBytes(uint64_t maxSamples);

}  // namespace Simulation
