#include "renderlib/gltf_loader.h"

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <future>
#include <limits>
#include <regex>
#include <string>
#include <vector>

#include "renderlib/gltf_source.h"
#include "renderlib/vertex_frames.h"
#include "tests/renderlib/gltf_test_file.h"
#include "tests/renderlib/temporary_folder.h"
#include "tests/support/test_images.h"


// The library exports its base64 coder but declares it only in its implementation part.
namespace tinygltf {
std::string base64_encode(unsigned char const* bytes, unsigned int length);
}  // namespace tinygltf

using namespace RenderLib;

namespace {

// Every triangle's corners turn anticlockwise around the normals its vertices carry, so the
// model faces the way the file meant.
void ExpectNormalsFollowWinding(const ObjModel& model) {
  for (const MeshGroup& group : model.groups) {
    for (size_t i = 0; i < group.indices.size(); i += 3) {
      const VertexNormalUV& a = group.vertices[group.indices[i]];
      const VertexNormalUV& b = group.vertices[group.indices[i + 1]];
      const VertexNormalUV& c = group.vertices[group.indices[i + 2]];
      Vector3 face = Cross(b.position - a.position, c.position - a.position);
      face.Normalize();
      for (const VertexNormalUV* corner : {&a, &b, &c}) {
        EXPECT_NEAR(Length(corner->normal), 1.0f, 1e-5f);
        EXPECT_GT(Dot(face, corner->normal), 0.999f) << "triangle " << i / 3;
      }
    }
  }
}

std::vector<Vector3> Positions(const ObjModel& model) {
  std::vector<Vector3> positions;
  for (const MeshGroup& group : model.groups) {
    for (int32_t index : group.indices) positions.push_back(group.vertices[index].position);
  }
  return positions;
}

void ExpectNear(const Vector3& actual, const Vector3& expected) {
  EXPECT_NEAR(actual.x, expected.x, 1e-5f);
  EXPECT_NEAR(actual.y, expected.y, 1e-5f);
  EXPECT_NEAR(actual.z, expected.z, 1e-5f);
}

class GltfLoader : public testing::Test {
protected:
  std::unique_ptr<ObjModel> Load(const std::string& path, Textures textures = Textures::kLoad) {
    messages.clear();
    return LoadGltf(path.c_str(), &messages, textures);
  }

  // A triangle on the plane x + y = 1 with its normal, texture coordinates and indices.
  void AddSlantedTriangle(GltfTestFile& file) {
    file.Floats({1, 0, 0, 0, 1, 0, 0, 1, 1}, "VEC3", 3);
    const float n = std::sqrt(0.5f);
    file.Floats({n, n, 0, n, n, 0, n, n, 0}, "VEC3", 3);
    file.Floats({0, 0, 1, 0, 0, 1}, "VEC2", 2);
    file.Indices({0, 1, 2});
    file.meshes = R"([{"primitives":[{"attributes":{"POSITION":0,"NORMAL":1,"TEXCOORD_0":2},"indices":3}]}])";
  }

  TemporaryFolder folder;
  ErrorList messages;
};

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

TEST_F(GltfLoader, ReadsMetallicRoughnessMaterialsIntoGroupsFromGltfAndGlbAlike) {
  TestImages::PngPicture picture;
  picture.width = 2;
  picture.height = 1;
  picture.rows = {{255, 0, 0, 0, 0, 255}};
  const std::vector<uint8_t> png = TestImages::EncodePng(picture);
  picture.width = 1;
  picture.rows = {{128, 128, 255}};
  const std::vector<uint8_t> flat = TestImages::EncodePng(picture);
  folder.Write("flat.png", std::string(flat.begin(), flat.end()));

  GltfTestFile file;
  AddSlantedTriangle(file);
  const int pngView = file.View(png.data(), png.size());
  file.images = R"([{"bufferView":)" + std::to_string(pngView) + R"(,"mimeType":"image/png"},{"uri":"flat.png"}])";
  file.textures = R"([{"source":0},{"source":0},{"source":1}])";
  file.materials =
      R"([{"name":"painted","pbrMetallicRoughness":{"baseColorFactor":[0.5,0.25,1,0.75],"metallicFactor":0.2,)"
      R"("roughnessFactor":0.6,"baseColorTexture":{"index":0},"metallicRoughnessTexture":{"index":1,"texCoord":1}},)"
      R"("normalTexture":{"index":2,"scale":0.5},"occlusionTexture":{"index":2,"strength":0.3},)"
      R"("emissiveTexture":{"index":0},"emissiveFactor":[0.1,0.2,0.4]},{}])";
  file.meshes = R"([{"primitives":[{"attributes":{"POSITION":0,"NORMAL":1},"indices":3,"material":0},)"
                R"({"attributes":{"POSITION":0},"material":1},{"attributes":{"POSITION":0}},)"
                R"({"attributes":{"POSITION":0,"NORMAL":1},"indices":3,"material":0}]}])";
  file.nodes = R"([{"mesh":0}])";

  std::vector<VertexNormalUV> firstVertices;
  for (const std::string& path : {file.WriteGltf(folder, "painted"), file.WriteGlb(folder, "painted")}) {
    SCOPED_TRACE(path);
    std::unique_ptr<ObjModel> model = Load(path);
    ASSERT_NE(model, nullptr) << (messages.empty() ? "" : messages.back());
    ASSERT_EQ(model->materials.size(), 2);
    const Material& painted = *model->materials[0];
    EXPECT_STREQ(painted.name, "painted");
    EXPECT_TRUE(painted.metallicRoughness);
    EXPECT_FLOAT_EQ(painted.baseColorFactor[1], 0.25f);
    EXPECT_FLOAT_EQ(painted.baseColorFactor[3], 0.75f);
    EXPECT_FLOAT_EQ(painted.metallicFactor, 0.2f);
    EXPECT_FLOAT_EQ(painted.roughnessFactor, 0.6f);
    EXPECT_FLOAT_EQ(painted.normalScale, 0.5f);
    ASSERT_TRUE(painted.diffuseMap && painted.normalMap);
    // One image behind two textures is decoded once and shared.
    EXPECT_EQ(painted.diffuseMap.Get(), painted.metallicRoughnessMap.Get());
    EXPECT_EQ(painted.diffuseMap->width, 2u);
    EXPECT_FLOAT_EQ(painted.diffuseMap->samples[0], 1.0f);
    EXPECT_FLOAT_EQ(painted.diffuseMap->samples[painted.diffuseMap->channels + 2], 1.0f);
    EXPECT_EQ(painted.normalMap->width, 1u);
    EXPECT_FLOAT_EQ(painted.occlusionStrength, 0.3f);
    EXPECT_EQ(painted.occlusionMap.Get(), painted.normalMap.Get());
    EXPECT_FLOAT_EQ(painted.emissiveFactor[2], 0.4f);
    EXPECT_EQ(painted.emissiveMap.Get(), painted.diffuseMap.Get());
    const Material& plain = *model->materials[1];
    EXPECT_STREQ(plain.name, "material 1");
    EXPECT_TRUE(plain.metallicRoughness);
    EXPECT_FLOAT_EQ(plain.roughnessFactor, 1.0f);
    EXPECT_FALSE(plain.diffuseMap);
    EXPECT_FLOAT_EQ(plain.occlusionStrength, 1.0f);
    EXPECT_FLOAT_EQ(plain.emissiveFactor[0], 0.0f);
    // The metallic-roughness map reads the second set: no note, the slot says so.
    EXPECT_TRUE(messages.empty()) << messages[0];
    EXPECT_EQ(painted.metallicRoughnessSlot.texCoord, 1);
    EXPECT_EQ(painted.baseColorSlot.texCoord, 0);

    // One group a material, in the order the primitives first use them.
    ASSERT_EQ(model->groups.size(), 3);
    EXPECT_EQ(model->groups[0].materialIndex, 0);
    EXPECT_EQ(model->groups[0].indices.size(), 6);
    EXPECT_EQ(model->groups[1].materialIndex, 1);
    EXPECT_EQ(model->groups[2].materialIndex, -1);
    ExpectNormalsFollowWinding(*model);
    const MeshGroup& group = model->groups[0];
    // A map on the second set keeps both sets beside every vertex of the material's group only.
    EXPECT_EQ(group.extras.size(), group.vertices.size());
    EXPECT_TRUE(model->groups[1].extras.empty());
    EXPECT_TRUE(model->groups[2].extras.empty());
    if (firstVertices.empty()) {
      firstVertices.assign(group.vertices.begin(), group.vertices.end());
    } else {
      ASSERT_EQ(size_t(group.vertices.size()), firstVertices.size());
      for (size_t i = 0; i < firstVertices.size(); ++i)
        ExpectNear(group.vertices[int32_t(i)].position, firstVertices[i].position);
    }
  }
}

// A base colour map read through KHR_texture_transform on the second set (the transform's own
// texCoord overriding the textureInfo's) makes the ageing coordinates, and the group keeps both
// raw sets and the colours beside its vertices, unwelded ones included; a plain material ages on
// TEXCOORD_0 and keeps nothing beside. The extensions the file requires are read.
TEST_F(GltfLoader, AgesOnTheBaseColourMapsTransformedSetAndKeepsBothSetsAndColours) {
  TestImages::PngPicture picture;
  picture.width = 1;
  picture.height = 1;
  picture.rows = {{200, 100, 50}};
  const std::vector<uint8_t> png = TestImages::EncodePng(picture);
  GltfTestFile file;
  AddSlantedTriangle(file);
  const std::vector<float> second = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
  const int set1 = file.Floats(second, "VEC2", 2);
  const uint8_t colours[] = {255, 0, 0, 255, 0, 255, 0, 51, 0, 0, 255, 0};
  const int colour = file.Accessor(colours, sizeof colours, 5121, "VEC4", 3, ",\"normalized\":true");
  const int turned = file.Indices({2, 0, 1});
  const int pngView = file.View(png.data(), png.size());
  file.images = R"([{"bufferView":)" + std::to_string(pngView) + R"(,"mimeType":"image/png"}])";
  file.textures = R"([{"source":0,"sampler":0},{"source":0}])";
  file.extra =
      R"("extensionsUsed":["KHR_texture_transform","KHR_lights_punctual","KHR_materials_clearcoat"],)"
      R"("extensionsRequired":["KHR_texture_transform","KHR_lights_punctual","KHR_materials_clearcoat"],)"
      R"("extensions":{"KHR_lights_punctual":{"lights":[{"type":"point"}]}},)"
      R"("samplers":[{"magFilter":9728,"minFilter":9987,"wrapS":33071,"wrapT":33648}],)";
  file.materials =
      R"([{"name":"worn","alphaMode":"MASK","alphaCutoff":0.3,"doubleSided":true,)"
      R"("extensions":{"KHR_materials_clearcoat":{"clearcoatFactor":1}},)"
      R"("pbrMetallicRoughness":{"baseColorTexture":{"index":0,"extensions":{"KHR_texture_transform":)"
      R"({"offset":[0.5,0.25],"rotation":1.57079633,"scale":[2,3],"texCoord":1}}}}},)"
      R"({"alphaMode":"BLEND","pbrMetallicRoughness":{"baseColorTexture":{"index":1}}}])";
  file.meshes = R"([{"primitives":[)"
                R"({"attributes":{"POSITION":0,"NORMAL":1,"TEXCOORD_0":2,"TEXCOORD_1":4,"COLOR_0":5},"indices":3,"material":0},)"
                R"({"attributes":{"POSITION":0,"TEXCOORD_1":4},"indices":6,"material":0},)"
                R"({"attributes":{"POSITION":0,"NORMAL":1,"TEXCOORD_0":2,"TEXCOORD_1":4},"indices":3,"material":1}]}])";
  file.nodes = R"([{"mesh":0}])";
  ASSERT_EQ(set1, 4);
  ASSERT_EQ(colour, 5);
  ASSERT_EQ(turned, 6);

  const std::unique_ptr<ObjModel> model = Load(file.WriteGltf(folder, "worn"));
  ASSERT_NE(model, nullptr) << (messages.empty() ? "" : messages.back());
  EXPECT_TRUE(messages.empty()) << messages[0];
  ASSERT_EQ(model->materials.size(), 2u);
  const Material& worn = *model->materials[0];
  EXPECT_EQ(worn.alphaMode, AlphaMode::kMask);
  EXPECT_FLOAT_EQ(worn.alphaCutoff, 0.3f);
  EXPECT_TRUE(worn.doubleSided);
  const TextureSlot& slot = worn.baseColorSlot;
  EXPECT_EQ(slot.texCoord, 1);
  EXPECT_FLOAT_EQ(slot.transform.offset[1], 0.25f);
  EXPECT_FLOAT_EQ(slot.transform.scale[0], 2.0f);
  EXPECT_FLOAT_EQ(slot.transform.rotation, 1.57079633f);
  EXPECT_EQ(slot.magFilter, kFilterNearest);
  EXPECT_EQ(slot.minFilter, 9987);
  EXPECT_EQ(slot.wrapS, kWrapClampToEdge);
  EXPECT_EQ(slot.wrapT, kWrapMirroredRepeat);
  const Material& plain = *model->materials[1];
  EXPECT_EQ(plain.alphaMode, AlphaMode::kBlend);
  EXPECT_FALSE(plain.doubleSided);
  EXPECT_EQ(plain.baseColorSlot.texCoord, 0);
  EXPECT_TRUE(plain.baseColorSlot.transform.IsIdentity());
  EXPECT_EQ(plain.baseColorSlot.magFilter, -1);
  EXPECT_EQ(plain.baseColorSlot.wrapS, kWrapRepeat);

  ASSERT_EQ(model->groups.size(), 2u);
  const MeshGroup& group = model->groups[0];
  ASSERT_EQ(group.vertices.size(), 6u);  // three shared, three of the unwelded copy
  ASSERT_EQ(group.extras.size(), 6u);
  for (size_t k = 0; k < 6; ++k) {
    SCOPED_TRACE("vertex " + std::to_string(k));
    const size_t copyCorners[] = {2, 0, 1};
    const size_t corner = k < 3 ? k : copyCorners[k - 3];
    const float u1 = second[2 * corner], v1 = second[2 * corner + 1];
    // A quarter turn: u' = offset.u + scale.v * v, v' = offset.v - scale.u * u; then v up.
    EXPECT_NEAR(group.vertices[k].u, 0.5f + 3.0f * v1, 1e-5f);
    EXPECT_NEAR(group.vertices[k].v, 1.0f - (0.25f - 2.0f * u1), 1e-5f);
    const VertexExtras& extras = group.extras[k];
    EXPECT_FLOAT_EQ(extras.texCoord[1][0], u1);
    EXPECT_FLOAT_EQ(extras.texCoord[1][1], 1.0f - v1);
    if (k < 3) {
      const float u0[] = {0, 1, 0}, v0[] = {0, 0, 1};
      EXPECT_FLOAT_EQ(extras.texCoord[0][0], u0[corner]);
      EXPECT_FLOAT_EQ(extras.texCoord[0][1], 1.0f - v0[corner]);
      for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(extras.color[c], colours[4 * corner + size_t(c)] / 255.0f);
    } else {
      // The copy has no TEXCOORD_0 and no colours: zeros and white.
      EXPECT_EQ(extras.texCoord[0][0] + extras.texCoord[0][1], 0.0f);
      for (float channel : extras.color) EXPECT_EQ(channel, 1.0f);
    }
  }
  const MeshGroup& plainGroup = model->groups[1];
  EXPECT_TRUE(plainGroup.extras.empty());
  ASSERT_EQ(plainGroup.vertices.size(), 3u);
  EXPECT_FLOAT_EQ(plainGroup.vertices[1].u, 1.0f);
  EXPECT_FLOAT_EQ(plainGroup.vertices[1].v, 1.0f);
  EXPECT_FLOAT_EQ(plainGroup.vertices[2].v, 0.0f);

  ASSERT_TRUE(model->gltfSource);
  const std::vector<PlacedPrimitive>& placed = model->gltfSource->placed;
  ASSERT_EQ(placed.size(), 3u);
  const int32_t expected[3][5] = {{0, 0, 0, 3, 0}, {1, 0, 3, 3, 1}, {2, 1, 0, 3, 0}};
  for (size_t p = 0; p < 3; ++p) {
    EXPECT_EQ(placed[p].primitive, expected[p][0]);
    EXPECT_EQ(placed[p].group, expected[p][1]);
    EXPECT_EQ(placed[p].firstVertex, expected[p][2]);
    EXPECT_EQ(placed[p].vertexCount, expected[p][3]);
    EXPECT_EQ(placed[p].unwelded, expected[p][4] == 1);
  }
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

// Each broken file is refused with a message that names it and says what is wrong.
TEST_F(GltfLoader, RefusesBrokenFilesSayingWhatIsWrong) {
  struct Case {
    const char* name;
    void (*edit)(GltfTestFile& file);
    const char* expected;
  };
  const Case cases[] = {
      {"past_view",
       [](GltfTestFile& f) { f.accessors[0].replace(f.accessors[0].find("\"count\":3"), 9, "\"count\":4"); },
       "accessor 0 (4 elements from byte 0) reaches past the end of buffer view 0 (36 bytes)"},
      {"huge_count",
       [](GltfTestFile& f) {
         f.accessors[0].replace(f.accessors[0].find("\"count\":3"), 9, "\"count\":4611686018427387904");
       },
       "reaches past the end of buffer view 0"},
      {"past_buffer", [](GltfTestFile& f) { f.bufferViews[1] = R"({"buffer":0,"byteOffset":36,"byteLength":4000})"; },
       "buffer view 1 (bytes 36 to 4036) reaches past the end of buffer 0"},
      {"narrow_stride",
       [](GltfTestFile& f) { f.bufferViews[0] = R"({"buffer":0,"byteOffset":0,"byteLength":36,"byteStride":8})"; },
       "stride of 8 bytes"},
      {"past_vertices",
       [](GltfTestFile& f) {
         const uint32_t three = 3;
         f.bin.replace(f.bin.size() - 4, 4, reinterpret_cast<const char*>(&three), 4);
       },
       "mesh 0 primitive 0 index 2 is 3, past its 3 vertices"},
      {"not_a_number",
       [](GltfTestFile& f) {
         const float nan = std::numeric_limits<float>::quiet_NaN();
         f.bin.replace(4, 4, reinterpret_cast<const char*>(&nan), 4);
       },
       "mesh 0 primitive 0 position 0 is not finite"},
      {"infinite",
       [](GltfTestFile& f) {
         const float inf = std::numeric_limits<float>::infinity();
         f.bin.replace(28, 4, reinterpret_cast<const char*>(&inf), 4);
       },
       "mesh 0 primitive 0 position 2 is not finite"},
      {"draco",
       [](GltfTestFile& f) {
         f.extra =
             R"("extensionsUsed":["KHR_draco_mesh_compression"],"extensionsRequired":["KHR_draco_mesh_compression"],)";
       },
       "the file requires the extension KHR_draco_mesh_compression: it uses KHR_draco_mesh_compression "
       "(Draco-compressed geometry), which Patinex does not read"},
      // Only used, yet the primitive has no plain data: the library fails on the missing views.
      {"draco_used",
       [](GltfTestFile& f) {
         f.extra = R"("extensionsUsed":["KHR_draco_mesh_compression"],)";
         f.accessors[0] = R"({"componentType":5126,"type":"VEC3","count":3})";
         f.accessors[3] = R"({"componentType":5125,"type":"SCALAR","count":3})";
         f.meshes.replace(f.meshes.find("\"indices\":3"), 11,
                          R"("indices":3,"extensions":{"KHR_draco_mesh_compression":{"bufferView":0,"attributes":{"POSITION":0}}})");
       },
       "mesh 0 primitive 0 uses KHR_draco_mesh_compression (Draco-compressed geometry), which Patinex does not read"},
      // The file's point is finite; where the node puts it is not, and that is what is named.
      {"placed_infinite",
       [](GltfTestFile& f) { f.nodes = R"([{"mesh":0,"scale":[1e39,1,1]}])"; },
       "mesh 0 primitive 0 position 0 is not finite (inf, 0.000000, 0.000000) as node 0 places it"},
      {"quantized",
       [](GltfTestFile& f) {
         f.extra =
             R"("extensionsUsed":["KHR_mesh_quantization","EXT_meshopt_compression"],"extensionsRequired":["KHR_mesh_quantization","EXT_meshopt_compression"],)";
         // Quantized files are read while positions stay floats; these are shorts.
         f.accessors[0].replace(f.accessors[0].find("5126"), 4, "5123");
       },
       "requires the extensions KHR_mesh_quantization, EXT_meshopt_compression, which Patinex does not support; "
       "KHR_mesh_quantization: positions stored as integers"},
      // Required extensions that are read go unmentioned; those that are not are named with why.
      {"webp",
       [](GltfTestFile& f) {
         f.extra = R"("extensionsUsed":["KHR_texture_transform","EXT_texture_webp"],)"
                   R"("extensionsRequired":["KHR_texture_transform","EXT_texture_webp"],)";
       },
       "the file requires the extension EXT_texture_webp, which Patinex does not support; EXT_texture_webp: WebP "
       "images, which Patinex cannot decode"},
      {"morph_count",
       [](GltfTestFile& f) {
         f.meshes.replace(f.meshes.find("\"indices\":3"), 11, R"("indices":3,"targets":[{"POSITION":2}])");
         f.nodes = R"([{"mesh":0,"weights":[1]}])";
       },
       "mesh 0 primitive 0 morph target 0 POSITION is not three floats a vertex"},
      {"missing_image",
       [](GltfTestFile& f) {
         f.images = R"([{"uri":"gone.png"}])";
         f.textures = R"([{"source":0}])";
         f.materials = R"([{"pbrMetallicRoughness":{"baseColorTexture":{"index":0}}}])";
       },
       "image 0 ('gone.png') cannot be read: the file is missing"},
      {"cycle",
       [](GltfTestFile& f) {
         f.nodes = R"([{"children":[1]},{"mesh":0,"children":[0]}])";
         f.scenes = R"([{"nodes":[0]}])";
       },
       "node 0 is reached twice"},
      {"no_material",
       [](GltfTestFile& f) { f.meshes.replace(f.meshes.find("\"indices\":3"), 11, "\"indices\":3,\"material\":2"); },
       "mesh 0 primitive 0 names material 2, which does not exist"},
      {"no_mesh", [](GltfTestFile& f) { f.nodes = R"([{"mesh":7}])"; }, "node 0 names mesh 7, which does not exist"},
      {"no_data", [](GltfTestFile& f) { f.accessors[1] = R"({"componentType":5126,"type":"VEC3","count":3})"; },
       "mesh 0 primitive 0 NORMAL: accessor 1 has no buffer view"},
      {"bad_mode",
       [](GltfTestFile& f) { f.meshes.replace(f.meshes.find("\"indices\":3"), 11, "\"indices\":3,\"mode\":9"); },
       "mesh 0 primitive 0 has the unknown mode 9"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    GltfTestFile file;
    AddSlantedTriangle(file);
    file.nodes = R"([{"mesh":0}])";
    test.edit(file);
    const std::string path = file.WriteGltf(folder, test.name);
    EXPECT_EQ(Load(path), nullptr);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().rfind(path + ": ", 0), 0u) << messages.back();
    EXPECT_NE(messages.back().find(test.expected), std::string::npos) << messages.back();
  }

  GltfTestFile file;
  AddSlantedTriangle(file);
  file.nodes = R"([{"mesh":0}])";
  const std::string missingBin = file.WriteGltf(folder, "lost");
  std::remove(folder.Path("lost.bin").c_str());
  EXPECT_EQ(Load(missingBin), nullptr);
  ASSERT_FALSE(messages.empty());
  EXPECT_NE(messages.back().find("lost.bin"), std::string::npos) << messages.back();

  // A buffer named by an absolute path is refused as such, though the file is there.
  file.WriteGltf(folder, "absolute");
  const std::string absolute = folder.Write("absolute.gltf", file.Json(folder.Path("absolute.bin")));
  EXPECT_EQ(Load(absolute), nullptr);
  ASSERT_FALSE(messages.empty());
  EXPECT_NE(messages.back().find("buffer 0 names its file by the absolute path " + folder.Path("absolute.bin") +
                                 ", which Patinex does not read"),
            std::string::npos)
      << messages.back();

  const std::string glb = file.WriteGlb(folder, "whole");
  std::string bytes;
  {
    std::ifstream in(glb, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  for (size_t keep : {bytes.size() - 10, size_t(30), size_t(8)}) {
    const std::string cut = folder.Write("cut.glb", bytes.substr(0, keep));
    EXPECT_EQ(Load(cut), nullptr);
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.back().find(cut + ": the binary glTF file is truncated"), std::string::npos) << messages.back();
  }
  // A glTF 1.0 file, primitives not given as a list, and nodes that are all children with no
  // scene to start from are refused by name instead of loading as an empty model.
  GltfTestFile oldVersion;
  AddSlantedTriangle(oldVersion);
  oldVersion.nodes = R"([{"mesh":0}])";
  std::string json = oldVersion.Json("old.bin");
  json.replace(json.find("\"2.0\""), 5, "\"1.0\"");
  oldVersion.WriteGltf(folder, "old");
  const std::string old = folder.Write("old.gltf", json);
  GltfTestFile unlisted;
  AddSlantedTriangle(unlisted);
  unlisted.meshes = R"([{"primitives":{"a":{"attributes":{"POSITION":0}}}}])";
  unlisted.nodes = R"([{"mesh":0}])";
  GltfTestFile ring;
  AddSlantedTriangle(ring);
  ring.nodes = R"([{"mesh":0,"children":[1]},{"children":[0]}])";
  for (const auto& [path, expected] :
       {std::pair{old, "it is a glTF 1.0 file; Patinex reads glTF 2.0"},
        std::pair{unlisted.WriteGltf(folder, "unlisted"), "mesh 0 has no primitives"},
        std::pair{ring.WriteGltf(folder, "ring"), "every node is another node's child: the nodes form a cycle"}}) {
    EXPECT_EQ(Load(path), nullptr) << path;
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.back().find(expected), std::string::npos) << messages.back();
  }

  const std::string text = folder.Write("text.gltf", "{ not json");
  EXPECT_EQ(Load(text), nullptr);
  ASSERT_FALSE(messages.empty());
  EXPECT_NE(messages.back().find(text + ": not a readable glTF file"), std::string::npos) << messages.back();
}

// Image entries naming one file (or one buffer view) share one decoding: ten entries naming an
// 8192 x 8192 picture decoded it ten times over.
TEST_F(GltfLoader, DecodesEachImageSourceOnceWhateverTheEntriesNamingIt) {
  TestImages::PngPicture picture;
  picture.width = 1;
  picture.height = 1;
  picture.rows = {{128, 128, 255}};
  const std::vector<uint8_t> png = TestImages::EncodePng(picture);
  folder.Write("flat.png", std::string(png.begin(), png.end()));
  GltfTestFile file;
  AddSlantedTriangle(file);
  const int view = file.View(png.data(), png.size());
  const std::string inView = R"({"bufferView":)" + std::to_string(view) + R"(,"mimeType":"image/png"})";
  file.images = R"([{"uri":"flat.png"},{"uri":"flat.png"},)" + inView + "," + inView + "]";
  file.textures = R"([{"source":0},{"source":1},{"source":2},{"source":3}])";
  file.materials = R"([{"pbrMetallicRoughness":{"baseColorTexture":{"index":0}},"normalTexture":{"index":2}},)"
                   R"({"pbrMetallicRoughness":{"baseColorTexture":{"index":1}},"normalTexture":{"index":3}}])";
  file.nodes = R"([{"mesh":0}])";
  for (const std::string& path : {file.WriteGltf(folder, "shared"), file.WriteGlb(folder, "shared")}) {
    SCOPED_TRACE(path);
    const std::unique_ptr<ObjModel> model = Load(path);
    ASSERT_NE(model, nullptr) << (messages.empty() ? "" : messages.back());
    ASSERT_EQ(model->materials.size(), 2u);
    const Material& first = *model->materials[0];
    const Material& second = *model->materials[1];
    ASSERT_TRUE(first.diffuseMap && first.normalMap);
    EXPECT_EQ(first.diffuseMap.Get(), second.diffuseMap.Get());
    EXPECT_EQ(first.normalMap.Get(), second.normalMap.Get());
    EXPECT_NE(first.diffuseMap.Get(), first.normalMap.Get());
  }
}

// A document nested deeper than any asset needs is refused before the JSON parser recurses
// through it (20,000 levels exhausted its stack), in .gltf and .glb files alike.
TEST_F(GltfLoader, RefusesJsonNestedTooDeepBeforeParsingIt) {
  for (const size_t levels : {size_t(400), size_t(20000)}) {
    GltfTestFile file;
    AddSlantedTriangle(file);
    file.nodes = R"([{"mesh":0}])";
    file.extra = "\"extras\":" + std::string(levels, '[') + std::string(levels, ']') + ",";
    for (const std::string& path : {file.WriteGltf(folder, "deep"), file.WriteGlb(folder, "deep")}) {
      SCOPED_TRACE(path + " nested " + std::to_string(levels));
      const std::unique_ptr<ObjModel> model = Load(path);
      if (levels < 512) {
        EXPECT_NE(model, nullptr);
        continue;
      }
      EXPECT_EQ(model, nullptr);
      ASSERT_FALSE(messages.empty());
      EXPECT_NE(messages.back().find(path + ": its JSON nests arrays and objects more than 512 levels deep"),
                std::string::npos)
          << messages.back();
    }
  }
}

// A buffer URI naming a FIFO is refused at once: opening it to see whether it exists would wait
// for a writer for ever.
TEST_F(GltfLoader, RefusesABufferNamingAFifoWithoutWaitingOnIt) {
  GltfTestFile file;
  AddSlantedTriangle(file);
  file.nodes = R"([{"mesh":0}])";
  const std::string path = file.WriteGltf(folder, "piped");
  std::remove(folder.Path("piped.bin").c_str());
  ASSERT_EQ(::mkfifo(folder.Path("piped.bin").c_str(), 0600), 0);
  std::future<bool> loaded = std::async(std::launch::async, [&] { return Load(path) != nullptr; });
  if (loaded.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "the reader still waits on the FIFO after 10 s";
    // Let the stuck reader go: a writer that opens and closes the FIFO ends its wait.
    const int writer = ::open(folder.Path("piped.bin").c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
  }
  EXPECT_FALSE(loaded.get());
  ASSERT_FALSE(messages.empty());
  EXPECT_NE(messages.back().find("piped.bin"), std::string::npos) << messages.back();
  EXPECT_NE(messages.back().find("FIFO"), std::string::npos) << messages.back();
}

// The first line of what tinygltf alone says when it refuses the file.
std::string TinygltfRefusal(const std::string& path) {
  tinygltf::TinyGLTF loader;
  tinygltf::Model model;
  std::string error, warning;
  EXPECT_FALSE(loader.LoadASCIIFromFile(&model, &error, &warning, path)) << path;
  // Quoted URIs run to megabytes: a message keeps the first 80 characters of a word.
  static const std::regex longWord("([^ ]{80})[^ ]+");
  return std::regex_replace(error.substr(0, error.find('\n')), longWord, "$1\u2026");
}

TEST_F(GltfLoader, ReadsBuffersInDataUrisAsFromBinFilesAndRefusesBadOnesInTinygltfsWords) {
  GltfTestFile file;
  AddSlantedTriangle(file);
  file.nodes = R"([{"mesh":0}])";
  const std::unique_ptr<ObjModel> fromBin = Load(file.WriteGltf(folder, "bin"));
  ASSERT_NE(fromBin, nullptr);
  ASSERT_EQ(file.bin.size() % 4, 0u);
  const std::string base64 =
      tinygltf::base64_encode(reinterpret_cast<const unsigned char*>(file.bin.data()), unsigned(file.bin.size()));
  const std::string octet = "data:application/octet-stream;base64,";
  const std::string length = "\"byteLength\":" + std::to_string(file.bin.size());

  struct Case {
    const char* name;
    std::string json;
  };
  const Case same[] = {
      {"octet", file.Json(octet + base64)},
      {"gltf_buffer", file.Json("data:application/gltf-buffer;base64," + base64)},
      {"ignored_tail", file.Json(octet + base64 + "== ignored")},
      {"escaped", file.Json(R"(data:application\/octet-stream;base64,)" + base64)},
  };
  for (const Case& test : same) {
    SCOPED_TRACE(test.name);
    const std::unique_ptr<ObjModel> model = Load(folder.Write(std::string(test.name) + ".gltf", test.json));
    ASSERT_NE(model, nullptr) << (messages.empty() ? "" : messages.back());
    ASSERT_EQ(model->groups.size(), fromBin->groups.size());
    for (size_t g = 0; g < model->groups.size(); ++g) {
      const MeshGroup& a = model->groups[g];
      const MeshGroup& b = fromBin->groups[g];
      EXPECT_EQ(a.indices, b.indices);
      ASSERT_EQ(a.vertices.size(), b.vertices.size());
      EXPECT_EQ(std::memcmp(a.vertices.data(), b.vertices.data(), a.vertices.size() * sizeof(VertexNormalUV)), 0);
    }
  }

  std::string longer = file.Json(octet + base64);
  longer.replace(longer.find(length), length.size(), "\"byteLength\":" + std::to_string(file.bin.size() + 4));
  std::string badAfterUri = file.Json(octet + base64);
  badAfterUri.insert(badAfterUri.size() - 1, R"(,"extras":[tru])");
  const Case refused[] = {
      {"space", file.Json(octet + base64.substr(0, 40) + " " + base64.substr(40))},
      {"extra_group", file.Json(octet + base64 + "AAAA")},
      {"empty", file.Json(octet + "=AAAA")},
      {"byte_length", longer},
      {"bad_json_after_uri", badAfterUri},
  };
  for (const Case& test : refused) {
    SCOPED_TRACE(test.name);
    const std::string path = folder.Write(std::string(test.name) + ".gltf", test.json);
    EXPECT_EQ(Load(path), nullptr);
    ASSERT_FALSE(messages.empty());
    const std::string expected = path + ": not a readable glTF file: " + TinygltfRefusal(path);
    EXPECT_EQ(messages.back().substr(0, expected.size()), expected);
    EXPECT_LT(messages.back().size(), 400u);
  }
}

}  // namespace
