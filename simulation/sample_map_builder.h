#pragma once

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
};

// Covers the model's surface with samples at the density (1..500) by sampling the six sides of
// its bounding box in parallel, a few tasks per side on a pool of one worker per processor.
// Samples come in side order 0..5 and start with the given humidity, dirt and rust. With a
// control, the share done is reported as it grows and a cancelled sampling gives no map.
SampleMapBuild BuildSampleMap(const RenderLib::KdTree& kdTree, const Soup& mesh, int32_t density,
                              const float initialValues[3] = nullptr, const SamplingControl* control = nullptr);

}  // namespace Simulation
