#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "renderlib/kd_tree.h"
#include "renderlib/triangle_soup.h"
#include "renderlib/vertex_normal_uv.h"
#include "simulation/sample_array.h"
#include "simulation/sample_hit.h"
#include "threadinglib/task.h"

namespace Simulation {

using Soup = RenderLib::TriangleSoup;
class SamplingProgress;

// Covers one side of the model's bounding box with samples: a stratified grid of parallel rays
// is cast across the box from that side, and the first surface each ray meets gets a sample.
class SamplingTask final : public ThreadingLib::Task {
public:
  explicit SamplingTask(ThreadingLib::ThreadPool* pool) : Task(pool) {}

  void Run(uint32_t context) override;
  uint32_t Prepare() override { return 0; }

  int32_t density = 100;
  float sampleSpacing = 0.0f;
  int32_t direction = 0;  // 0..5: +z, -y, +x, -z, +y, -x
  float initialValues[3] = {0.0f, 0.0f, 0.0f};  // humidity, dirt, rust of new samples
  SampleArray samples;
  // With keepHits set, the task fills `hits` instead of `samples`: the same samples, in the same
  // order, as the places their records are made from (MakeSample).
  bool keepHits = false;
  std::vector<SampleHit> hits;
  const RenderLib::KdTree* kdTree = nullptr;
  const Soup* mesh = nullptr;
  // The side's rays may be split into chunkCount runs of consecutive rays, one per task; this
  // task casts run `chunk`. The runs' samples, in run order, are those of the whole side.
  uint32_t chunk = 0;
  uint32_t chunkCount = 1;
  // Polled between blocks of rays when given: once true, the task ends early (stopped).
  const std::atomic<bool>* stop = nullptr;
  bool stopped = false;
  bool outOfMemory = false;  // the rays' hits or samples found no memory; nothing was cast
  // When given, counts the rays cast.
  SamplingProgress* progress = nullptr;
};

// The grid spacing for a model's box at a density: the smallest extent over density, where
// extents of 0 (a model flat along an axis) are passed over. 0 when the box is flat on every
// axis or empty.
float SampleSpacing(const RenderLib::BoundingBox& box, int32_t density);

// A side casting more rays than this would need gigabytes for its samples alone; such a model
// is far too thin for its size at this density and its side is skipped with a message.
inline constexpr double kMaxRaysPerSide = 1u << 27;

// How many rays side `direction` (0..5) casts at the spacing: two per grid square of the face
// the rays start on, counting the squares' corners on both edges.
double RaysPerSide(const RenderLib::BoundingBox& box, float spacing, int32_t direction);

// The sample a ray makes where it hits triangle `triangle` at barycentric weights (b1, b2).
SurfaceSample MakeSample(const Soup& mesh, int32_t triangle, float b1, float b2, const RenderLib::Vector3& position,
                         const float initialValues[3]);
// The same record, with each vertex's unit normal × tangent looked up in vertexBitangents
// (from VertexBitangents) instead of being worked out again for every sample.
SurfaceSample MakeSample(const Soup& mesh, int32_t triangle, float b1, float b2, const RenderLib::Vector3& position,
                         const float initialValues[3], const RenderLib::Vector3* vertexBitangents);
std::vector<RenderLib::Vector3> VertexBitangents(const Soup& mesh);

}  // namespace Simulation
