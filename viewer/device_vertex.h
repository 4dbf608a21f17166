#pragma once

#include <cstdint>
#include <type_traits>

#include "platform/gpu_resources.h"
#include "renderlib/vertex_extras.h"
#include "renderlib/vertex_normal_uv.h"

namespace Viewer {

// A vertex as the device mesh hands it to the GPU: 68 bytes with the full tangent frame.
// The texture coordinate is stored as (u, 1 - v) so that v = 0 is the image's top row.
struct DeviceVertex {
  float position[3];
  float texcoord[2];
  float normal[4];
  float tangent[4];
  float binormal[4];
};

static_assert(std::is_trivially_copyable_v<DeviceVertex>);
static_assert(sizeof(DeviceVertex) == 68);

// POSITION is declared with four floats over three, so its w reads u: shaders use only x, y, z.
inline constexpr Platform::InputElement kDeviceVertexElements[] = {
    {"POSITION", 0, Platform::Format::R32G32B32A32_FLOAT, 0},
    {"TEXCOORD", 0, Platform::Format::R32G32_FLOAT, 12},
    {"NORMAL", 0, Platform::Format::R32G32B32A32_FLOAT, 20},
    {"TANGENT", 0, Platform::Format::R32G32B32A32_FLOAT, 36},
    {"BINORMAL", 0, Platform::Format::R32G32B32A32_FLOAT, 52},
};
inline constexpr uint32_t kDeviceVertexElementCount = 5;

// The vertex of a group with extras: both texture coordinate sets, stored as (u, 1 - v) like
// texcoord (glTF's orientation, which its texture transforms work in), and the vertex colour.
struct DeviceVertexWithExtras {
  DeviceVertex vertex;
  float texcoords[2][2];
  float color[4];
};

static_assert(std::is_trivially_copyable_v<DeviceVertexWithExtras>);
static_assert(sizeof(DeviceVertexWithExtras) == 100);

inline constexpr Platform::InputElement kDeviceVertexWithExtrasElements[] = {
    {"POSITION", 0, Platform::Format::R32G32B32A32_FLOAT, 0},
    {"TEXCOORD", 0, Platform::Format::R32G32_FLOAT, 12},
    {"NORMAL", 0, Platform::Format::R32G32B32A32_FLOAT, 20},
    {"TANGENT", 0, Platform::Format::R32G32B32A32_FLOAT, 36},
    {"BINORMAL", 0, Platform::Format::R32G32B32A32_FLOAT, 52},
    {"TEXCOORD", 1, Platform::Format::R32G32_FLOAT, 68},
    {"TEXCOORD", 2, Platform::Format::R32G32_FLOAT, 76},
    {"COLOR", 0, Platform::Format::R32G32B32A32_FLOAT, 84},
};
inline constexpr uint32_t kDeviceVertexWithExtrasElementCount = 8;

DeviceVertexWithExtras MakeDeviceVertex(const DeviceVertex& vertex, const RenderLib::VertexExtras& extras);

// The binormal is the unit cross of normal and tangent; where the two are parallel (or zero) it
// stays zero instead of becoming NaN.
DeviceVertex MakeDeviceVertex(const RenderLib::VertexNormalUV& vertex);

}  // namespace Viewer
