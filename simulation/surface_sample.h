#pragma once

#include <cstdint>
#include <type_traits>

#include "renderlib/vector3.h"

namespace Simulation {

// A point on the model's surface carrying the simulated quantities, its shading frame and its
// texture coordinates: 24 32-bit words. The six quantity fields are traded by many tracing
// workers at once; they are accessed through std::atomic_ref so the record itself stays plain.
struct SurfaceSample {
  float bounceDamping;   // (1 - humidity) * normal.y^2, rewritten every step
  float scatterDamping;  // 1, never changed
  float flowDamping;     // normal.y, never changed
  float humidity;
  float dirt;
  float rust;
  RenderLib::Vector3 position;
  RenderLib::Vector3 normal;
  RenderLib::Vector3 tangent;
  RenderLib::Vector3 bitangent;
  float u;
  float v;
  float area;     // of the triangle it lies on, measured against its normal
  float uExtent;  // u range of that triangle
  float vExtent;  // v range of that triangle
  // Low two bits: the axis this record splits the sample map on; the bits above: the mask space
  // (MaskSpaces) of the material it lies on, which the masks it is baked into belong to. Kept
  // here so that the record does not grow: tracing reads it by the million.
  uint32_t splitAxis;
};

inline constexpr uint32_t kSplitAxisBits = 3u;
inline constexpr int kMaskSpaceShift = 2;

inline int32_t MaskSpaceOf(const SurfaceSample& sample) { return int32_t(sample.splitAxis >> kMaskSpaceShift); }
inline void SetMaskSpace(SurfaceSample& sample, int32_t space) {
  sample.splitAxis = (sample.splitAxis & kSplitAxisBits) | (uint32_t(space) << kMaskSpaceShift);
}

static_assert(sizeof(SurfaceSample) == 24 * 4);
static_assert(std::is_trivially_copyable_v<SurfaceSample>);

}  // namespace Simulation
