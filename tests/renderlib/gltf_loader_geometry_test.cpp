#include "renderlib/gltf_loader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "renderlib/gltf_source.h"
#include "renderlib/vertex_frames.h"
#include "tests/renderlib/gltf_loader_fixture.h"
#include "tests/renderlib/gltf_test_file.h"
#include "tests/support/test_images.h"

using namespace RenderLib;

namespace {

TEST_F(GltfLoader, PlacesTheMeshesOfTheShownSceneWithTheirNodesWorldTransforms) {
  GltfTestFile file;
  AddSlantedTriangle(file);
  // Node 0 moves its children 10 along x; node 1 stretches x, node 2 mirrors it. Node 3 is a
  // root of its own, shown only when no scene is given.
  file.nodes = R"([{"translation":[10,0,0],"children":[1,2]},{"mesh":0,"scale":[2,1,1]},)"
               R"({"mesh":0,"matrix":[-1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1]},{"mesh":0,"translation":[100,0,0]}])";
  file.scenes = R"([{"nodes":[3]},{"nodes":[0]}])";
  file.extra = R"("scene":1,)";

  std::unique_ptr<ObjModel> model = Load(file.WriteGltf(folder, "scene"));
  ASSERT_NE(model, nullptr) << (messages.empty() ? "" : messages.back());
  ASSERT_EQ(model->groups.size(), 1);
  EXPECT_EQ(model->groups[0].materialIndex, -1);
  std::vector<Vector3> positions = Positions(*model);
  ASSERT_EQ(positions.size(), 6u);
  ExpectNear(positions[0], {12, 0, 0});
  ExpectNear(positions[1], {10, 1, 0});
  ExpectNear(positions[2], {10, 1, 1});
  // The mirrored copy has two corners swapped to keep facing outwards.
  ExpectNear(positions[3], {9, 0, 0});
  ExpectNear(positions[4], {10, 1, 1});
  ExpectNear(positions[5], {10, 1, 0});
  ExpectNormalsFollowWinding(*model);
  // glTF's v grows downwards, the masks' upwards.
  const VertexNormalUV& corner = model->groups[0].vertices[model->groups[0].indices[2]];
  EXPECT_FLOAT_EQ(corner.u, 0.0f);
  EXPECT_FLOAT_EQ(corner.v, 0.0f);
  for (const VertexNormalUV& vertex : model->groups[0].vertices) {
    EXPECT_NEAR(Length(vertex.tangent), 1.0f, 1e-5f);
    EXPECT_NEAR(Dot(vertex.tangent, vertex.normal), 0.0f, 1e-5f);
  }

  // Without scenes every root node is shown: node 0's two copies and node 3's.
  file.scenes.clear();
  file.extra.clear();
  model = Load(file.WriteGltf(folder, "roots"));
  ASSERT_NE(model, nullptr);
  positions = Positions(*model);
  ASSERT_EQ(positions.size(), 9u);
  ExpectNear(positions[6], {101, 0, 0});
}

// A mesh placed by several nodes is named once, with its count, and the triangles of its second
// and later placements are told apart from the first's, whichever group they went to.
TEST_F(GltfLoader, TellsTheRepeatedPlacementsOfAMesh) {
  GltfTestFile file;
  const int square = file.Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3", 3);
  const int uv = file.Floats({0, 0, 1, 0, 1, 1, 0, 1}, "VEC2", 2);
  const int indices = file.Indices({0, 1, 2, 0, 2, 3});
  char meshes[512];
  std::snprintf(meshes, sizeof meshes,
                R"([{"name":"Crate","primitives":[{"attributes":{"POSITION":%d,"TEXCOORD_0":%d},"indices":%d}]},)"
                R"({"name":"Floor","primitives":[{"attributes":{"POSITION":%d,"TEXCOORD_0":%d},"indices":%d}]}])",
                square, uv, indices, square, uv, indices);
  file.meshes = meshes;
  file.nodes = R"([{"mesh":0},{"mesh":1},{"mesh":0,"translation":[3,0,0]},{"mesh":0,"translation":[6,0,0]}])";
  file.scenes = R"([{"nodes":[0,1,2,3]}])";
  for (const Textures textures : {Textures::kLoad, Textures::kSkip}) {
    std::unique_ptr<ObjModel> model = Load(file.WriteGltf(folder, "crates"), textures);
    ASSERT_NE(model, nullptr) << (messages.empty() ? "" : messages.back());
    const std::vector<RepeatedMesh> repeated = RepeatedMeshes(*model);
    ASSERT_EQ(repeated.size(), 1u);
    EXPECT_EQ(repeated[0].name, "Crate");
    EXPECT_EQ(repeated[0].placements, 3);
    // One group: Crate (two triangles), Floor (two), Crate again twice (four, flat: no normals).
    const std::vector<bool> flags = RepeatedPlacementTriangles(*model);
    EXPECT_EQ(flags, (std::vector<bool>{false, false, false, false, true, true, true, true}));
  }
}

// The reader scales normals and sums tangents as it writes each primitive; the result must be
// the frames the whole-model passes give, bit for bit, also where normals need repair, texture
// coordinates have no area and primitives of one material share a group.
TEST_F(GltfLoader, GivesTheFramesTheWholeModelPassesGive) {
  GltfTestFile file;
  file.Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0.5f, 2, 1, 0.3f}, "VEC3", 3);
  file.Floats({0, 0, 0, 0, 0, 3, 0.2f, 0, 1, std::nanf(""), 0, 1, 0, 1, 1}, "VEC3", 3);
  file.Floats({0, 0, 1, 0, 1, 1, 0, 1, 1, 1}, "VEC2", 2);
  file.Indices({0, 1, 2, 0, 2, 3, 1, 4, 2, 3, 3, 2});
  file.meshes = R"([{"primitives":[{"attributes":{"POSITION":0,"NORMAL":1,"TEXCOORD_0":2},"indices":3},)"
                R"({"attributes":{"POSITION":0,"TEXCOORD_0":2},"indices":3},)"
                R"({"attributes":{"POSITION":0,"NORMAL":1,"TEXCOORD_0":2},"indices":3,"mode":5}]}])";
  file.nodes = R"([{"mesh":0},{"mesh":0,"scale":[-1,2,1],"translation":[0,0,4]}])";
  file.scenes = R"([{"nodes":[0,1]}])";

  std::unique_ptr<ObjModel> model = Load(file.WriteGltf(folder, "frames"));
  ASSERT_NE(model, nullptr) << (messages.empty() ? "" : messages.back());
  ASSERT_EQ(model->groups.size(), 1u);
  ObjModel passes;
  passes.groups = model->groups;
  RepairNormals(passes.groups[0]);
  ComputeTangents(passes.groups[0]);
  const std::vector<VertexNormalUV>& read = model->groups[0].vertices;
  const std::vector<VertexNormalUV>& expected = passes.groups[0].vertices;
  ASSERT_EQ(read.size(), expected.size());
  for (size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(std::memcmp(&read[i], &expected[i], sizeof(VertexNormalUV)), 0) << "vertex " << i;
  }
}

TEST_F(GltfLoader, ReadsTriangleListsStripsAndFansAndSkipsPointsAndLines) {
  GltfTestFile file;
  const int square = file.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, "VEC3", 3);     // a strip's order
  const int fanSquare = file.Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3", 3);  // a fan's order
  const int up = file.Floats({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3", 3);
  const uint16_t coordinates[] = {0, 0, 65535, 0, 0, 65535, 65535, 65535};
  const int uv = file.Accessor(coordinates, sizeof coordinates, 5123, "VEC2", 4, ",\"normalized\":true");
  const uint16_t shortIndices[] = {0, 1, 2, 0, 2, 3};
  const int fanIndices = file.Accessor(shortIndices, sizeof shortIndices, 5123, "SCALAR", 6);
  // Two separate triangles without normals or indices.
  const int loose = file.Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 5, 5, 0, 6, 5, 0, 5, 6, 0}, "VEC3", 3);
  char mesh[1024];
  std::snprintf(mesh, sizeof mesh,
                R"([{"primitives":[{"attributes":{"POSITION":%d,"NORMAL":%d,"TEXCOORD_0":%d},"mode":5},)"
                R"({"attributes":{"POSITION":%d,"NORMAL":%d},"mode":6},)"
                R"({"attributes":{"POSITION":%d,"NORMAL":%d},"indices":%d,"mode":4},)"
                R"({"attributes":{"POSITION":%d}},)"
                R"({"attributes":{"POSITION":%d},"mode":1},{"attributes":{"POSITION":%d},"mode":0}]}])",
                square, up, uv, fanSquare, up, fanSquare, up, fanIndices, loose, loose, loose);
  file.meshes = mesh;
  file.nodes = R"([{"mesh":0}])";

  const std::string path = file.WriteGltf(folder, "modes");
  std::unique_ptr<ObjModel> model = Load(path);
  ASSERT_NE(model, nullptr) << (messages.empty() ? "" : messages.back());
  EXPECT_EQ(model->TotalIndexCount(), 3 * 8);
  // Shared vertices where the file gives normals, three a triangle where they are computed.
  EXPECT_EQ(model->TotalVertexCount(), 4 + 4 + 4 + 6);
  ExpectNormalsFollowWinding(*model);
  // Normalized shorts, v turned upwards; primitives without TEXCOORD_0 get zeros.
  const MeshGroup& group = model->groups[0];
  EXPECT_FLOAT_EQ(group.vertices[1].u, 1.0f);
  EXPECT_FLOAT_EQ(group.vertices[1].v, 1.0f);
  EXPECT_FLOAT_EQ(group.vertices[2].u, 0.0f);
  EXPECT_FLOAT_EQ(group.vertices[2].v, 0.0f);
  EXPECT_FLOAT_EQ(group.vertices[5].u + group.vertices[5].v, 0.0f);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "mesh 0 primitive 4 holds lines, not triangles: skipped");
  EXPECT_EQ(messages[1], "mesh 0 primitive 5 holds points, not triangles: skipped");
}

// A quantized file whose positions stay floats is read: normals as normalized bytes or shorts,
// texture coordinates as signed or unnormalized integers.
TEST_F(GltfLoader, ReadsQuantizedNormalsAndCoordinatesWhilePositionsStayFloats) {
  GltfTestFile file;
  AddSlantedTriangle(file);
  const int8_t normals[] = {127, 0, 0, 0, 0, -128, 0, 0, 0, 0, 127, 0};  // +x, -y, +z, padded to 4 bytes
  const int normalView = file.View(normals, sizeof normals);
  file.bufferViews[size_t(normalView)].insert(file.bufferViews[size_t(normalView)].size() - 1, ",\"byteStride\":4");
  file.accessors[1] = R"({"bufferView":)" + std::to_string(normalView) +
                      R"(,"componentType":5120,"type":"VEC3","count":3,"normalized":true})";
  const int8_t signedUv[] = {-127, 127, 0, 64, 127, -128};
  const uint16_t wholeUv[] = {0, 3, 2, 1, 7, 0};
  const int normalizedSet = file.Accessor(signedUv, sizeof signedUv, 5120, "VEC2", 3, ",\"normalized\":true");
  const int integerSet = file.Accessor(wholeUv, sizeof wholeUv, 5123, "VEC2", 3);
  file.meshes = R"([{"primitives":[{"attributes":{"POSITION":0,"NORMAL":1,"TEXCOORD_0":)" +
                std::to_string(normalizedSet) + R"(,"TEXCOORD_1":)" + std::to_string(integerSet) +
                R"(},"indices":3,"material":0}]}])";
  // A second set in use keeps the raw sets beside the vertices.
  file.materials = R"([{"normalTexture":{"index":0,"texCoord":1}}])";
  file.textures = R"([{"source":0}])";
  file.images = R"([{"uri":"flat.png"}])";
  TestImages::PngPicture picture;
  picture.width = picture.height = 1;
  picture.rows = {{128, 128, 255}};
  const std::vector<uint8_t> png = TestImages::EncodePng(picture);
  folder.Write("flat.png", std::string(png.begin(), png.end()));
  file.extra = R"("extensionsUsed":["KHR_mesh_quantization"],"extensionsRequired":["KHR_mesh_quantization"],)";
  file.nodes = R"([{"mesh":0}])";

  const std::unique_ptr<ObjModel> model = Load(file.WriteGltf(folder, "quantized"));
  ASSERT_NE(model, nullptr) << (messages.empty() ? "" : messages.back());
  const MeshGroup& group = model->groups[0];
  ASSERT_EQ(group.vertices.size(), 3u);
  ASSERT_EQ(group.extras.size(), 3u);
  const Vector3 expectedNormals[] = {{1, 0, 0}, {0, -1, 0}, {0, 0, 1}};  // -128 is -1 too
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE("vertex " + std::to_string(i));
    ExpectNear(group.vertices[i].normal, expectedNormals[i]);
    const float u0 = std::max(signedUv[2 * i] / 127.0f, -1.0f), v0 = std::max(signedUv[2 * i + 1] / 127.0f, -1.0f);
    EXPECT_FLOAT_EQ(group.vertices[i].u, u0);
    EXPECT_FLOAT_EQ(group.vertices[i].v, 1.0f - v0);
    EXPECT_FLOAT_EQ(group.extras[i].texCoord[1][0], float(wholeUv[2 * i]));
    EXPECT_FLOAT_EQ(group.extras[i].texCoord[1][1], 1.0f - float(wholeUv[2 * i + 1]));
  }
}

// A morphed mesh loads in the shape it shows at rest: the node's weights, else the mesh's, move
// positions and normals before the node places them; dense and sparse targets alike.
TEST_F(GltfLoader, LoadsMorphedMeshesAtTheirDefaultWeights) {
  GltfTestFile file;
  AddSlantedTriangle(file);
  file.Floats({0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3", 3);            // 4: target 0 lifts every corner
  file.Floats({0, 0, 0, 1, 0, 0, 0, 0, 0}, "VEC3", 3);            // 5: target 1 moves corner 1 along x
  const float n = std::sqrt(0.5f);
  file.Floats({-n, -n, 1, -n, -n, 1, -n, -n, 1}, "VEC3", 3);      // 6: target 1 turns normals to +z
  // Target 1 again, sparse: 7 replaces corner 1 of all zeros, 8 of a dense list it overrides.
  const uint32_t corner = 1;
  const float moved[] = {1, 0, 0};
  const int cornerView = file.View(&corner, sizeof corner);
  const int movedView = file.View(moved, sizeof moved);
  const std::string sparse = R"("sparse":{"count":1,"indices":{"bufferView":)" + std::to_string(cornerView) +
                             R"(,"componentType":5125},"values":{"bufferView":)" + std::to_string(movedView) + "}}";
  file.accessors.push_back(R"({"componentType":5126,"type":"VEC3","count":3,)" + sparse + "}");
  const int wrong = file.Floats({0, 0, 0, 5, 5, 5, 0, 0, 0}, "VEC3", 3);
  file.accessors[size_t(wrong)].insert(file.accessors[size_t(wrong)].size() - 1, "," + sparse);
  ASSERT_EQ(wrong, 8);
  file.meshes = R"([{"weights":[0.5,0],"primitives":[)"
                R"({"attributes":{"POSITION":0,"NORMAL":1},"indices":3,"targets":[{"POSITION":4},{"POSITION":7,"NORMAL":6}]},)"
                R"({"attributes":{"POSITION":0},"indices":3,"targets":[{"POSITION":4},{"POSITION":8}]}]}])";
  file.nodes = R"([{"mesh":0},{"mesh":0,"weights":[0,2],"scale":[1,1,3],"translation":[10,0,0]}])";
  file.scenes = R"([{"nodes":[0,1]}])";
  const std::unique_ptr<ObjModel> model = Load(file.WriteGltf(folder, "morphed"));
  ASSERT_NE(model, nullptr) << (messages.empty() ? "" : messages.back());
  const std::vector<Vector3> positions = Positions(*model);
  ASSERT_EQ(positions.size(), 12u);
  // Node 0: the mesh's weights, half of target 0. Both primitives alike.
  for (size_t primitive = 0; primitive < 2; ++primitive) {
    ExpectNear(positions[3 * primitive], {1, 0, 0.5f});
    ExpectNear(positions[3 * primitive + 1], {0, 1, 0.5f});
    ExpectNear(positions[3 * primitive + 2], {0, 1, 1.5f});
  }
  // Node 1: twice target 1, then stretched along z and moved.
  for (size_t primitive = 2; primitive < 4; ++primitive) {
    ExpectNear(positions[3 * primitive], {11, 0, 0});
    ExpectNear(positions[3 * primitive + 1], {12, 1, 0});
    ExpectNear(positions[3 * primitive + 2], {10, 1, 3});
  }
  const MeshGroup& group = model->groups[0];
  // Node 0's normals are untouched by target 0; node 1's are n + 2 (-n, -n, 1) = (-n, -n, 2),
  // through the stretch (z divided by 3), to unit length.
  ExpectNear(group.vertices[0].normal, {n, n, 0});
  const Vector3 stretched(-n, -n, 2.0f / 3.0f);
  const size_t node1 = 6;  // node 0 placed 3 shared vertices and 3 unwelded ones first
  ExpectNear(group.vertices[node1].normal, stretched * (1.0f / Length(stretched)));
}

}  // namespace
