#include "viewer/device_vertex.h"

namespace Viewer {

DeviceVertex MakeDeviceVertex(const RenderLib::VertexNormalUV& vertex) {
  RenderLib::Vector3 binormal = RenderLib::Cross(vertex.normal, vertex.tangent);
  if (binormal.Normalize() < 0.00001f) binormal = RenderLib::Vector3();
  return DeviceVertex{
      {vertex.position.x, vertex.position.y, vertex.position.z},
      {vertex.u, 1.0f - vertex.v},
      {vertex.normal.x, vertex.normal.y, vertex.normal.z, 0.0f},
      {vertex.tangent.x, vertex.tangent.y, vertex.tangent.z, 0.0f},
      {binormal.x, binormal.y, binormal.z, 0.0f},
  };
}

DeviceVertexWithExtras MakeDeviceVertex(const DeviceVertex& vertex, const RenderLib::VertexExtras& extras) {
  DeviceVertexWithExtras wide{vertex, {}, {}};
  for (int set = 0; set < 2; ++set) {
    wide.texcoords[set][0] = extras.texCoord[set][0];
    wide.texcoords[set][1] = 1.0f - extras.texCoord[set][1];
  }
  for (int c = 0; c < 4; ++c) wide.color[c] = extras.color[c];
  return wide;
}

}  // namespace Viewer
