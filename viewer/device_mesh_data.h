#pragma once

#include <cstdint>
#include <vector>

#include "renderlib/obj_model.h"
#include "viewer/device_vertex.h"

namespace Viewer {

// Faces whose group has no material.
inline constexpr uint32_t kNoMaterialAttribute = 0xFFFFFFFFu;

// One subset of a device mesh: the faces (and the vertices they use) of one attribute, all of
// groups with vertex extras or all of groups without.
struct AttributeRange {
  uint32_t attributeId;
  uint32_t faceStart;
  uint32_t faceCount;
  uint32_t vertexStart;
  uint32_t vertexCount;
  bool extras = false;  // its vertices have their extras in DeviceMeshData::extras
};

// A model laid out for the device on the CPU: faces sorted by attribute (the group's material
// index), those of groups without extras first, each subset's faces reordered for the vertex
// cache, and vertices renumbered in the order the faces first use them, so every subset's
// vertices form one range.
struct DeviceMeshData {
  std::vector<DeviceVertex> vertices;
  std::vector<uint32_t> indices;     // three per face
  std::vector<uint32_t> attributes;  // one per face
  std::vector<AttributeRange> attributeTable;
  // Empty when no group has extras; else one a vertex (defaults for groups without).
  std::vector<RenderLib::VertexExtras> extras;
};

// False (data left empty) when the model has no faces, a group's index count is not a multiple
// of three or an index leaves its group's vertices. Vertices no face uses are dropped.
bool BuildDeviceMeshData(const RenderLib::ObjModel& model, DeviceMeshData* data);

}  // namespace Viewer
