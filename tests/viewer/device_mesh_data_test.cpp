#include "viewer/device_mesh_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <map>
#include <vector>

namespace Viewer {
namespace {

using namespace RenderLib;

// A grid of n x n quads in the plane z = depth, two triangles each, with the given material.
MeshGroup GridGroup(int n, float depth, int32_t material) {
  MeshGroup group;
  group.materialIndex = material;
  for (int y = 0; y <= n; ++y) {
    for (int x = 0; x <= n; ++x) {
      VertexNormalUV vertex;
      vertex.position = Vector3(float(x), float(y), depth);
      vertex.normal = Vector3(0.0f, 0.0f, 1.0f);
      vertex.tangent = Vector3(1.0f, 0.0f, 0.0f);
      group.vertices.push_back(vertex);
    }
  }
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      const int32_t a = y * (n + 1) + x, b = a + 1, c = a + n + 1, d = c + 1;
      for (int32_t index : {a, b, c, b, d, c}) group.indices.push_back(index);
    }
  }
  return group;
}

using Triangle = std::array<float, 9>;

// Each attribute's triangles as position triples, so that renumbered vertices compare equal.
std::map<uint32_t, std::vector<Triangle>> TrianglesByAttribute(const std::vector<DeviceVertex>& vertices,
                                                              const std::vector<uint32_t>& indices,
                                                              const std::vector<uint32_t>& attributes) {
  std::map<uint32_t, std::vector<Triangle>> result;
  for (size_t face = 0; face < attributes.size(); ++face) {
    Triangle triangle;
    for (int corner = 0; corner < 3; ++corner) {
      const DeviceVertex& vertex = vertices[indices[face * 3 + corner]];
      std::copy_n(vertex.position, 3, triangle.begin() + corner * 3);
    }
    result[attributes[face]].push_back(triangle);
  }
  for (auto& [attribute, triangles] : result) std::sort(triangles.begin(), triangles.end());
  return result;
}

TEST(DeviceVertex, CarriesFlippedVAndNormalisedBinormalIn68Bytes) {
  EXPECT_EQ(offsetof(DeviceVertex, texcoord), kDeviceVertexElements[1].alignedByteOffset);
  EXPECT_EQ(offsetof(DeviceVertex, normal), kDeviceVertexElements[2].alignedByteOffset);
  EXPECT_EQ(offsetof(DeviceVertex, tangent), kDeviceVertexElements[3].alignedByteOffset);
  EXPECT_EQ(offsetof(DeviceVertex, binormal), kDeviceVertexElements[4].alignedByteOffset);

  VertexNormalUV in;
  in.position = Vector3(1.0f, 2.0f, 3.0f);
  in.normal = Vector3(0.0f, 0.0f, 1.0f);
  in.tangent = Vector3(2.0f, 0.0f, 0.0f);  // not unit: the binormal is normalised all the same
  in.u = 0.25f;
  in.v = 0.75f;
  const DeviceVertex out = MakeDeviceVertex(in);
  EXPECT_EQ(out.texcoord[0], 0.25f);
  EXPECT_EQ(out.texcoord[1], 0.25f);
  EXPECT_EQ(out.normal[3], 0.0f);
  EXPECT_EQ(out.tangent[0], 2.0f);
  EXPECT_FLOAT_EQ(out.binormal[0], 0.0f);
  EXPECT_FLOAT_EQ(out.binormal[1], 1.0f);  // normal x tangent = z x x = y
  EXPECT_FLOAT_EQ(out.binormal[2], 0.0f);
  EXPECT_EQ(out.binormal[3], 0.0f);

  in.tangent = in.normal;  // degenerate frame: zero, not NaN
  const DeviceVertex flat = MakeDeviceVertex(in);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(flat.binormal[i], 0.0f);
}

TEST(DeviceMeshData, SortsFacesIntoOneContiguousRangePerAttribute) {
  ObjModel model;
  model.groups.push_back(GridGroup(6, 0.0f, 1));
  model.groups.push_back(GridGroup(3, 1.0f, -1));  // before any material
  model.groups.push_back(GridGroup(5, 2.0f, 0));
  model.groups.push_back(GridGroup(2, 3.0f, 1));  // a second group of material 1

  std::vector<DeviceVertex> original;
  std::vector<uint32_t> originalIndices, originalAttributes;
  uint32_t base = 0;
  for (const MeshGroup& group : model.groups) {
    for (const VertexNormalUV& vertex : group.vertices) original.push_back(MakeDeviceVertex(vertex));
    for (int32_t index : group.indices) originalIndices.push_back(base + uint32_t(index));
    originalAttributes.insert(originalAttributes.end(), group.indices.size() / 3,
                              group.materialIndex < 0 ? kNoMaterialAttribute : uint32_t(group.materialIndex));
    base += uint32_t(group.vertices.size());
  }

  DeviceMeshData data;
  ASSERT_TRUE(BuildDeviceMeshData(model, &data));
  ASSERT_EQ(data.attributeTable.size(), 3u);
  EXPECT_EQ(data.attributeTable[0].attributeId, 0u);
  EXPECT_EQ(data.attributeTable[1].attributeId, 1u);
  EXPECT_EQ(data.attributeTable[2].attributeId, kNoMaterialAttribute);

  uint32_t nextFace = 0;
  for (const AttributeRange& range : data.attributeTable) {
    EXPECT_EQ(range.faceStart, nextFace);
    nextFace += range.faceCount;
    for (uint32_t face = range.faceStart; face < range.faceStart + range.faceCount; ++face) {
      EXPECT_EQ(data.attributes[face], range.attributeId);
      for (int corner = 0; corner < 3; ++corner) {
        const uint32_t index = data.indices[face * 3 + corner];
        EXPECT_GE(index, range.vertexStart);
        EXPECT_LT(index, range.vertexStart + range.vertexCount);
      }
    }
  }
  EXPECT_EQ(nextFace, data.attributes.size());
  EXPECT_EQ(data.vertices.size(), original.size());
  // Reordering keeps every triangle with its attribute.
  EXPECT_EQ(TrianglesByAttribute(data.vertices, data.indices, data.attributes),
            TrianglesByAttribute(original, originalIndices, originalAttributes));
}

TEST(DeviceMeshData, GroupsWithExtrasGetSubsetsOfTheirOwnAndKeepTheirExtrasThroughTheRenumbering) {
  ObjModel model;
  model.groups.push_back(GridGroup(4, 0.0f, 0));
  model.groups.push_back(GridGroup(3, 1.0f, 0));  // the same material, with extras
  model.groups.push_back(GridGroup(2, 2.0f, 1));
  // Each vertex's extras name it: its position in the red and green of its colour.
  for (MeshGroup* group : {&model.groups[1], &model.groups[2]}) {
    for (const VertexNormalUV& vertex : group->vertices) {
      VertexExtras extras;
      extras.color[0] = vertex.position.x;
      extras.color[1] = vertex.position.y;
      extras.color[2] = vertex.position.z;
      group->extras.push_back(extras);
    }
  }
  model.groups[2].extras.pop_back();  // not one a vertex: not taken

  DeviceMeshData data;
  ASSERT_TRUE(BuildDeviceMeshData(model, &data));
  ASSERT_EQ(data.attributeTable.size(), 3u);
  EXPECT_EQ(data.attributeTable[0].attributeId, 0u);
  EXPECT_FALSE(data.attributeTable[0].extras);
  EXPECT_EQ(data.attributeTable[1].attributeId, 0u);
  EXPECT_TRUE(data.attributeTable[1].extras);
  EXPECT_EQ(data.attributeTable[1].faceCount, 3u * 3u * 2u);
  EXPECT_FALSE(data.attributeTable[2].extras);
  ASSERT_EQ(data.extras.size(), data.vertices.size());
  const AttributeRange& withExtras = data.attributeTable[1];
  for (uint32_t v = withExtras.vertexStart; v < withExtras.vertexStart + withExtras.vertexCount; ++v) {
    EXPECT_EQ(data.extras[v].color[0], data.vertices[v].position[0]);
    EXPECT_EQ(data.extras[v].color[1], data.vertices[v].position[1]);
    EXPECT_EQ(data.extras[v].color[2], 1.0f);
  }

  ObjModel plain;
  plain.groups.push_back(GridGroup(2, 0.0f, 0));
  ASSERT_TRUE(BuildDeviceMeshData(plain, &data));
  EXPECT_TRUE(data.extras.empty());
}

TEST(DeviceMeshData, RefusesModelsWithoutFacesOrWithStrayIndices) {
  DeviceMeshData data;
  ObjModel empty;
  EXPECT_FALSE(BuildDeviceMeshData(empty, &data));

  ObjModel stray;
  stray.groups.push_back(GridGroup(1, 0.0f, 0));
  stray.groups[0].indices[2] = 4;  // the group has vertices 0 to 3
  EXPECT_FALSE(BuildDeviceMeshData(stray, &data));
  EXPECT_TRUE(data.indices.empty());
}

}  // namespace
}  // namespace Viewer
