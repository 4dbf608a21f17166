#include "renderlib/triangle_soup.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

using namespace RenderLib;

namespace {

MeshGroup Group(std::vector<Vector3> positions, std::vector<int32_t> indices, int32_t materialIndex) {
  MeshGroup group;
  for (const Vector3& p : positions) {
    VertexNormalUV vertex;
    vertex.position = p;
    vertex.u = p.x;
    group.vertices.push_back(vertex);
  }
  group.indices = std::move(indices);
  group.materialIndex = materialIndex;
  return group;
}

}  // namespace

TEST(TriangleSoup, FlattensGroupsWithOffsetIndicesAndMaterials) {
  auto model = std::make_unique<ObjModel>();
  model->groups.push_back(Group({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2}, 1));
  model->groups.push_back(Group({{5, 0, -2}, {6, 0, 0}, {6, 7, 0}, {5, 1, 3}}, {0, 1, 2, 0, 2, 3}, 0));
  Material* first = new Material();
  Material* second = new Material();
  model->materials.push_back(MaterialHandle(first));
  model->materials.push_back(MaterialHandle(second));

  TriangleSoup soup(*model);
  ASSERT_EQ(soup.GetIndexCount(), 9);
  ASSERT_EQ(soup.GetVertexCount(), 7);
  EXPECT_EQ(std::vector<int32_t>(soup.GetIndices(), soup.GetIndices() + 9), (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 3, 5, 6}));
  EXPECT_EQ(soup.GetVertices()[3].position, Vector3(5, 0, -2));
  EXPECT_EQ(soup.GetVertices()[6].u, 5.0f);
  EXPECT_EQ(soup.TriangleMaterials(), (std::vector<int32_t>{1, 0, 0}));

  BoundingBox box = soup.GetBoundingBox();
  EXPECT_EQ(box.min, Vector3(0, 0, -2));
  EXPECT_EQ(box.max, Vector3(6, 7, 3));

  // The soup keeps the materials alive after the model is gone.
  EXPECT_EQ(first->ReferenceCount(), 2);
  model.reset();
  EXPECT_EQ(first->ReferenceCount(), 1);
  EXPECT_EQ(soup.Materials()[1].Get(), second);
}

TEST(TriangleSoup, EmptyModelGivesTheEmptyBox) {
  ObjModel model;
  TriangleSoup soup(model);
  EXPECT_EQ(soup.GetIndexCount(), 0);
  EXPECT_EQ(soup.GetVertexCount(), 0);
  BoundingBox box = soup.GetBoundingBox();
  EXPECT_GT(box.min.x, box.max.x);
  EXPECT_EQ(box.min.y, 3.4028235e38f);
}
