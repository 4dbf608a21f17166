#include "renderlib/gltf_loader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "renderlib/gltf_source.h"
#include "tests/renderlib/gltf_loader_fixture.h"
#include "tests/renderlib/gltf_test_file.h"
#include "tests/support/test_images.h"

using namespace RenderLib;

namespace {

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

}  // namespace
