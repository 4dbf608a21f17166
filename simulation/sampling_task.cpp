#include "simulation/sampling_task.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>

#include "renderlib/kd_tree_axis_caster.h"
#include "simulation/hammersley.h"
#include "simulation/sampling_progress.h"

namespace Simulation {
namespace {

using RenderLib::Vector3;

// How each side casts its rays: the ray direction, the axis it runs along, whether it starts
// on the box's maximum face, and the two grid axes spanning the face.
struct SideLayout {
  Vector3 rayDirection;
  int rayAxis;
  bool startsOnMax;
  int axisA;
  int axisB;
};

constexpr SideLayout kSides[6] = {
    {{0, 0, 1}, 2, false, 0, 1}, {{0, -1, 0}, 1, true, 0, 2}, {{1, 0, 0}, 0, false, 1, 2},
    {{0, 0, -1}, 2, true, 0, 1}, {{0, 1, 0}, 1, false, 0, 2}, {{-1, 0, 0}, 0, true, 1, 2},
};

template <class T>
T Interpolate(const T& a0, const T& a1, const T& a2, float b1, float b2) {
  return a0 + (a1 - a0) * b1 + (a2 - a0) * b2;
}

// Rays cast together in order of their first grid coordinate: 2^kBlockBits of them.
constexpr uint32_t kBlockBits = 10;
constexpr uint32_t kBlock = 1u << kBlockBits;

uint32_t ReverseLowBits(uint32_t r) {
  r = ((r >> 1) & 0x55555555u) | ((r & 0x55555555u) << 1);
  r = ((r >> 2) & 0x33333333u) | ((r & 0x33333333u) << 2);
  r = ((r >> 4) & 0x0F0F0F0Fu) | ((r & 0x0F0F0F0Fu) << 4);
  r = ((r >> 8) & 0x00FF00FFu) | ((r & 0x00FF00FFu) << 8);
  r = (r >> 16) | (r << 16);
  return r >> (32 - kBlockBits);
}

struct BlockHit {
  RenderLib::KdHit hit;
  Vector3 start;
  bool found;
};

Vector3 Unit(Vector3 v) {
  v.Normalize();
  return v;
}

}  // namespace

float SampleSpacing(const RenderLib::BoundingBox& box, int32_t density) {
  if (density < 1) density = 1;
  const Vector3 extent = box.Extent();
  float smallest = std::numeric_limits<float>::infinity();
  for (int axis = 0; axis < 3; ++axis) {
    if (extent[axis] > 0.0f && extent[axis] < smallest) smallest = extent[axis];
  }
  if (!std::isfinite(smallest)) return 0.0f;
  return smallest / static_cast<float>(density);
}

namespace {

// The vertex's unit normal × tangent, which the bitangent is interpolated from.
Vector3 VertexBitangent(const RenderLib::VertexNormalUV& vertex) { return Unit(Cross(vertex.normal, vertex.tangent)); }

template <class Bitangent>
SurfaceSample MakeSampleWith(const Soup& mesh, int32_t triangle, float b1, float b2, const Vector3& position,
                             const float initialValues[3], Bitangent bitangent) {
  const int32_t* indices = mesh.GetIndices() + 3 * triangle;
  const RenderLib::VertexNormalUV& a0 = mesh.GetVertices()[indices[0]];
  const RenderLib::VertexNormalUV& a1 = mesh.GetVertices()[indices[1]];
  const RenderLib::VertexNormalUV& a2 = mesh.GetVertices()[indices[2]];

  SurfaceSample sample{};
  sample.position = position;
  sample.normal = Unit(Interpolate(a0.normal, a1.normal, a2.normal, b1, b2));
  sample.tangent = Unit(Interpolate(a0.tangent, a1.tangent, a2.tangent, b1, b2));
  sample.bitangent =
      Unit(Interpolate(bitangent(indices[0], a0), bitangent(indices[1], a1), bitangent(indices[2], a2), b1, b2));
  sample.u = Interpolate(a0.u, a1.u, a2.u, b1, b2);
  sample.v = Interpolate(a0.v, a1.v, a2.v, b1, b2);
  sample.area = std::fabs(Dot(Cross(a1.position - a0.position, a2.position - a0.position) * 0.5f, sample.normal));
  sample.uExtent = std::max({a0.u, a1.u, a2.u}) - std::min({a0.u, a1.u, a2.u});
  sample.vExtent = std::max({a0.v, a1.v, a2.v}) - std::min({a0.v, a1.v, a2.v});

  sample.humidity = initialValues[0];
  sample.dirt = initialValues[1];
  sample.rust = initialValues[2];
  sample.bounceDamping = (1.0f - initialValues[0]) * sample.normal.y * sample.normal.y;
  sample.scatterDamping = 1.0f;
  sample.flowDamping = sample.normal.y;
  return sample;
}

}  // namespace

SurfaceSample MakeSample(const Soup& mesh, int32_t triangle, float b1, float b2, const Vector3& position,
                         const float initialValues[3]) {
  return MakeSampleWith(mesh, triangle, b1, b2, position, initialValues,
                        [](int32_t, const RenderLib::VertexNormalUV& vertex) { return VertexBitangent(vertex); });
}

SurfaceSample MakeSample(const Soup& mesh, int32_t triangle, float b1, float b2, const Vector3& position,
                         const float initialValues[3], const Vector3* vertexBitangents) {
  return MakeSampleWith(mesh, triangle, b1, b2, position, initialValues,
                        [vertexBitangents](int32_t index, const RenderLib::VertexNormalUV&) {
                          return vertexBitangents[index];
                        });
}

std::vector<Vector3> VertexBitangents(const Soup& mesh) {
  std::vector<Vector3> bitangents(static_cast<size_t>(std::max(mesh.GetVertexCount(), 0)));
  for (size_t i = 0; i < bitangents.size(); ++i) bitangents[i] = VertexBitangent(mesh.GetVertices()[i]);
  return bitangents;
}

double RaysPerSide(const RenderLib::BoundingBox& box, float spacing, int32_t direction) {
  const SideLayout& side = kSides[direction];
  const Vector3 extent = box.Extent();
  return 2.0 * std::ceil(extent[side.axisA] / spacing + 1.0f) * std::ceil(extent[side.axisB] / spacing + 1.0f);
}

void SamplingTask::Run(uint32_t) {
  const RenderLib::BoundingBox box = mesh->GetBoundingBox();
  sampleSpacing = SampleSpacing(box, density);
  if (sampleSpacing <= 0.0f || direction < 0 || direction > 5) return;

  const SideLayout& side = kSides[direction];
  const Vector3 extent = box.Extent();
  const float extentA = extent[side.axisA];
  const float extentB = extent[side.axisB];
  const double rays = RaysPerSide(box, sampleSpacing, direction);
  if (!(rays <= kMaxRaysPerSide)) {
    if (chunk == 0) {
      std::fprintf(stderr, "sampling: side %d would cast %.0f rays at this density; the model is too thin, side skipped\n",
                   direction, rays);
    }
    return;
  }
  const uint32_t n = static_cast<uint32_t>(rays);
  const uint32_t chunks = std::max<uint32_t>(chunkCount, 1);
  if (chunk >= chunks) return;
  const uint32_t first = static_cast<uint32_t>(uint64_t(n) * chunk / chunks);
  const uint32_t last = static_cast<uint32_t>(uint64_t(n) * (chunk + 1) / chunks);  // one past
  const uint32_t length = last - first;
  // The rays go in blocks of kBlock consecutive ones. Within a block the second grid
  // coordinate barely moves and the first runs across the whole side in the order of the
  // mirrored bits, so consecutive rays would land far apart; they are cast in order of the
  // first coordinate instead, each next to the last, so the walk finds the tree's nodes and
  // triangles still in the cache. The hits are then kept in ray order.
  std::unique_ptr<float[]> grid(new (std::nothrow) float[2 * kBlock]);
  std::unique_ptr<BlockHit[]> blockHits(new (std::nothrow) BlockHit[kBlock]);
  bool stored = grid != nullptr && blockHits != nullptr;
  if (stored && keepHits) {
    hits.clear();
    try {
      hits.reserve(length);
    } catch (const std::bad_alloc&) {
      stored = false;
    }
  } else if (stored) {
    stored = samples.Init(length);
  }
  if (!stored) {
    std::fprintf(stderr, "sampling: out of memory for %u rays on side %d\n", length, direction);
    outOfMemory = true;
    return;
  }

  float startCoordinate = side.startsOnMax ? box.max[side.rayAxis] : box.min[side.rayAxis];
  float endCoordinate = side.startsOnMax ? box.min[side.rayAxis] : box.max[side.rayAxis];
  // A model flat along the ray axis would give rays of length zero, which hit nothing: start
  // and end them one spacing off its plane instead.
  if (extent[side.rayAxis] == 0.0f) {
    const float outwards = side.startsOnMax ? sampleSpacing : -sampleSpacing;
    startCoordinate += outwards;
    endCoordinate -= outwards;
  }
  RenderLib::KdAxisCaster caster(*kdTree, *mesh, side.rayAxis, startCoordinate, endCoordinate);
  for (uint64_t blockStart = first & ~uint64_t(kBlock - 1); blockStart < last; blockStart += kBlock) {
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
      stopped = true;
      break;
    }
    const uint32_t base = static_cast<uint32_t>(blockStart);
    const uint32_t from = std::max(first, base) - base;
    const uint32_t to = static_cast<uint32_t>(std::min<uint64_t>(last, blockStart + kBlock) - base);
    Hammersley2D(grid.get() + 2 * from, n, base + from, to - from);
    for (uint32_t r = 0; r < kBlock; ++r) {
      // Within an aligned block the first coordinate grows with the mirrored low bits.
      const uint32_t low = ReverseLowBits(r);
      if (low < from || low >= to) continue;
      BlockHit& blockHit = blockHits[low];
      Vector3 start;
      start[side.axisA] = box.min[side.axisA] + grid[2 * low] * extentA;
      start[side.axisB] = box.min[side.axisB] + grid[2 * low + 1] * extentB;
      start[side.rayAxis] = startCoordinate;
      blockHit.found = caster.Cast(start, blockHit.hit);
      blockHit.start = start;
    }
    for (uint32_t low = from; low < to; ++low) {
      const BlockHit& blockHit = blockHits[low];
      if (!blockHit.found) continue;
      const RenderLib::KdHit& hit = blockHit.hit;
      const Vector3 position = blockHit.start + side.rayDirection * hit.distance;
      if (keepHits) {
        hits.push_back({position, hit.triangle, hit.u, hit.v});
      } else {
        samples.Push(MakeSample(*mesh, hit.triangle, hit.u, hit.v, position, initialValues));
      }
    }
    if (progress != nullptr) progress->Add(to - from);
  }
  if (!keepHits) samples.ShrinkToFit();
}

}  // namespace Simulation
