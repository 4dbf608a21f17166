#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "assetexport/aged_export.h"
#include "imagelib/decoded_image.h"
#include "imagelib/image_decoder.h"
#include "imagelib/jpeg_writer.h"
#include "imagelib/png_writer.h"
#include "renderlib/model_file.h"
#include "simulation/mask_spaces.h"
#include "tests/assetexport/export_test_models.h"

namespace AssetExport {
namespace {

using AssetExportTest::TestFolder;
using Json = nlohmann::json;

const std::string kValidator = std::string(PATINEX_SOURCE_DIR) + "/tools/gltf_validator/validate.mjs";

// A .glb put together from its JSON and one buffer: views, accessors and images appended.
class GlbBuilder {
public:
  GlbBuilder() {
    json = {{"asset", {{"version", "2.0"}}}, {"bufferViews", Json::array()}, {"accessors", Json::array()}};
  }

  int View(const void* data, size_t size, int target = 0) {
    while (bytes.size() % 4 != 0) bytes.push_back(0);
    Json view = {{"buffer", 0}, {"byteOffset", bytes.size()}, {"byteLength", size}};
    if (target != 0) view["target"] = target;
    bytes.insert(bytes.end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    json["bufferViews"].push_back(view);
    return int(json["bufferViews"].size()) - 1;
  }

  // Vertex data by default; target 0 for what is no vertex attribute (animations, skins).
  int Floats(const std::vector<float>& values, const char* type, int components, bool bounds = false,
             int target = 34962) {
    Json accessor = {{"bufferView", View(values.data(), values.size() * 4, target)},
                     {"componentType", 5126},
                     {"count", values.size() / size_t(components)},
                     {"type", type}};
    if (bounds) {
      std::vector<float> low(size_t(components), 1e30f), high(size_t(components), -1e30f);
      for (size_t i = 0; i < values.size(); ++i) {
        low[i % size_t(components)] = std::min(low[i % size_t(components)], values[i]);
        high[i % size_t(components)] = std::max(high[i % size_t(components)], values[i]);
      }
      accessor["min"] = low;
      accessor["max"] = high;
    }
    json["accessors"].push_back(accessor);
    return int(json["accessors"].size()) - 1;
  }

  int Indices(const std::vector<uint16_t>& values) {
    json["accessors"].push_back({{"bufferView", View(values.data(), values.size() * 2, 34963)},
                                 {"componentType", 5123},
                                 {"count", values.size()},
                                 {"type", "SCALAR"}});
    return int(json["accessors"].size()) - 1;
  }

  // An image and a texture of it; returns the texture.
  int Texture(const std::vector<uint8_t>& encoded, const char* mimeType) {
    json["images"].push_back({{"bufferView", View(encoded.data(), encoded.size())}, {"mimeType", mimeType}});
    json["textures"].push_back({{"source", json["images"].size() - 1}});
    return int(json["textures"].size()) - 1;
  }

  // A quad over [x, x + 1] x [0, 1] in the plane z = 0, its texture coordinates spanning the unit
  // square; with normals or without.
  Json Quad(float x, bool normals, int material) {
    const std::vector<float> positions = {x, 0, 0, x + 1, 0, 0, x + 1, 1, 0, x, 1, 0};
    Json attributes = {{"POSITION", Floats(positions, "VEC3", 3, true)},
                       {"TEXCOORD_0", Floats({0, 1, 1, 1, 1, 0, 0, 0}, "VEC2", 2)}};
    if (normals) attributes["NORMAL"] = Floats({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3", 3);
    return {{"attributes", attributes}, {"indices", Indices({0, 1, 2, 0, 2, 3})}, {"material", material}};
  }

  std::string Write(const TestFolder& folder, const std::string& name) {
    while (bytes.size() % 4 != 0) bytes.push_back(0);
    json["buffers"] = {{{"byteLength", bytes.size()}}};
    std::string text = json.dump();
    while (text.size() % 4 != 0) text += ' ';
    const uint32_t header[5] = {0x46546C67u, 2u, uint32_t(28 + text.size() + bytes.size()), uint32_t(text.size()),
                                0x4E4F534Au};
    const uint32_t binary[2] = {uint32_t(bytes.size()), 0x004E4942u};
    std::string file(reinterpret_cast<const char*>(header), sizeof header);
    file += text;
    file.append(reinterpret_cast<const char*>(binary), sizeof binary);
    file.append(bytes.begin(), bytes.end());
    return folder.Write(name, file);
  }

  Json json;
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> SolidPng(uint32_t size, uint8_t r, uint8_t g, uint8_t b, uint32_t channels = 3) {
  std::vector<uint8_t> pixels;
  for (uint32_t i = 0; i < size * size; ++i) {
    const uint8_t texel[4] = {r, g, b, uint8_t(i % 2 == 0 ? 255 : 0)};
    pixels.insert(pixels.end(), texel, texel + channels);
  }
  std::vector<uint8_t> png;
  std::string error;
  EXPECT_TRUE(ImageLib::EncodePng8(pixels.data(), size, size, channels, &png, &error)) << error;
  return png;
}

std::vector<uint8_t> SolidJpeg(const TestFolder& folder, uint32_t size, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> rgb;
  for (uint32_t i = 0; i < size * size; ++i) rgb.insert(rgb.end(), {r, g, b});
  const std::string path = folder.Path("solid.jpg");
  EXPECT_TRUE(ImageLib::WriteJpegFile(path.c_str(), rgb.data(), size, size, 95));
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Masks of nothing, one set a mask space of the model.
StepMasks EmptyMasks(const RenderLib::ObjModel& model) {
  StepMasks masks;
  masks.step = 4;
  masks.spaces.resize(size_t(Simulation::AssignMaskSpaces(model).count));
  const std::vector<uint8_t> black = SolidPng(16, 0, 0, 0, 1);
  for (MaskSet& set : masks.spaces) {
    for (MaskFile* mask : {&set.humidity, &set.dirt, &set.rust}) {
      mask->mimeType = "image/png";
      mask->bytes = black;
      mask->grey = TextureSampler(16, 16, 1, std::vector<float>(256, 0.0f));
    }
  }
  return masks;
}

std::unique_ptr<RenderLib::ObjModel> Load(const std::string& path) {
  std::string error;
  RenderLib::ErrorList notes;
  std::unique_ptr<RenderLib::ObjModel> model = RenderLib::LoadModelFile(path, &notes, error);
  EXPECT_TRUE(model) << error;
  return model;
}

bool KeepImageBytes(tinygltf::Image* image, const int, std::string*, std::string*, int, int, const unsigned char* bytes,
                    int size, void*) {
  image->image.assign(bytes, bytes + size);
  return true;
}

tinygltf::Model ReadBack(const std::string& path) {
  tinygltf::TinyGLTF loader;
  loader.SetImageLoader(KeepImageBytes, nullptr);
  tinygltf::Model model;
  std::string error, warning;
  const bool read = path.size() > 4 && path.substr(path.size() - 4) == ".glb"
                        ? loader.LoadBinaryFromFile(&model, &error, &warning, path)
                        : loader.LoadASCIIFromFile(&model, &error, &warning, path);
  EXPECT_TRUE(read) << error;
  return model;
}

ImageLib::DecodedImage BaseColorOf(const tinygltf::Model& model, const tinygltf::Material& material) {
  const int texture = material.pbrMetallicRoughness.baseColorTexture.index;
  ImageLib::DecodedImage image;
  if (texture < 0) return image;
  const tinygltf::Image& source = model.images[size_t(model.textures[size_t(texture)].source)];
  std::string error;
  EXPECT_TRUE(ImageLib::DecodeImage(source.image.data(), source.image.size(), image, error)) << error;
  return image;
}

// The Khronos validator's verdict on the files: true when none has an error or a warning.
void ExpectValid(const std::vector<std::string>& files) {
  std::string command = "node " + kValidator;
  for (const std::string& file : files) command += " '" + file + "'";
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) output += line;
  EXPECT_EQ(pclose(pipe), 0) << output;
}

std::vector<float> Floats(const tinygltf::Model& model, int index) {
  const tinygltf::Accessor& accessor = model.accessors[size_t(index)];
  const tinygltf::BufferView& view = model.bufferViews[size_t(accessor.bufferView)];
  const size_t components = size_t(tinygltf::GetNumComponentsInType(uint32_t(accessor.type)));
  const size_t stride = view.byteStride != 0 ? view.byteStride : components * 4;
  std::vector<float> values(accessor.count * components);
  for (size_t i = 0; i < accessor.count; ++i) {
    std::memcpy(&values[i * components],
                model.buffers[size_t(view.buffer)].data.data() + view.byteOffset + accessor.byteOffset + i * stride,
                components * 4);
  }
  return values;
}

// Two materials whose texture coordinates overlap, each with its own base colour map (a red PNG
// of 64 and a blue JPEG of 128): with no patina, each comes out as its own colour, at its own
// size and format, named after it, in place of its source map.
TEST(GltfDocument, EachMaterialIsAgedFromItsOwnTexturesAtItsOwnSize) {
  TestFolder folder;
  GlbBuilder glb;
  glb.json["materials"] = {
      {{"name", "Red"}, {"pbrMetallicRoughness", {{"baseColorTexture", {{"index", glb.Texture(SolidPng(64, 255, 0, 0), "image/png")}}}}}},
      {{"name", "Blue"},
       {"pbrMetallicRoughness",
        {{"baseColorTexture", {{"index", glb.Texture(SolidJpeg(folder, 128, 0, 0, 255), "image/jpeg")}}}}}}};
  glb.json["meshes"] = {{{"primitives", {glb.Quad(0, true, 0), glb.Quad(2, true, 1)}}}};
  glb.json["nodes"] = {{{"mesh", 0}, {"name", "Pair"}}};
  glb.json["scenes"] = {{{"nodes", {0}}}};
  std::unique_ptr<RenderLib::ObjModel> model = Load(glb.Write(folder, "pair.glb"));
  ASSERT_TRUE(model);

  for (const char* name : {"aged.glb", "aged.gltf"}) {
    SCOPED_TRACE(name);
    const std::string out = folder.Path(name);
    std::string error;
    ExportTimes report;
    ASSERT_TRUE(ExportAgedAsset(*model, EmptyMasks(*model), {}, out, &error, &report)) << error;
    ASSERT_EQ(report.materials.size(), 2u);
    const tinygltf::Model back = ReadBack(out);
    ASSERT_EQ(back.materials.size(), 2u);
    // Three textures a material and, the charts overlapping, a set of masks for each; the
    // replaced maps are not carried along.
    EXPECT_EQ(Simulation::AssignMaskSpaces(*model).count, 2);
    EXPECT_EQ(back.images.size(), 12u);
    std::vector<bool> named(back.bufferViews.size(), false);
    for (const tinygltf::Accessor& accessor : back.accessors) named.at(size_t(accessor.bufferView)) = true;
    for (const tinygltf::Image& image : back.images) {
      if (image.bufferView >= 0) named.at(size_t(image.bufferView)) = true;
    }
    EXPECT_EQ(std::count(named.begin(), named.end(), false), 0) << "the buffer holds bytes nothing names";
    struct Expected {
      const char* name;
      uint32_t size;
      int r, g, b;
      const char* mimeType;
    };
    const Expected expected[2] = {{"Red", 64, 255, 0, 0, "image/png"}, {"Blue", 128, 0, 0, 255, "image/jpeg"}};
    for (int m = 0; m < 2; ++m) {
      const tinygltf::Material& material = back.materials[size_t(m)];
      EXPECT_EQ(material.name, expected[m].name);
      const ImageLib::DecodedImage image = BaseColorOf(back, material);
      ASSERT_EQ(image.width, expected[m].size) << expected[m].name;
      ASSERT_EQ(image.height, expected[m].size) << expected[m].name;
      const int texture = material.pbrMetallicRoughness.baseColorTexture.index;
      const tinygltf::Image& file = back.images[size_t(back.textures[size_t(texture)].source)];
      EXPECT_EQ(file.name, std::string(expected[m].name) + "_baseColor");
      EXPECT_TRUE(file.mimeType == expected[m].mimeType || file.uri.find(m == 0 ? ".png" : ".jpg") != std::string::npos)
          << file.mimeType << " " << file.uri;
      int worst = 0;
      for (size_t i = 0; i < size_t(image.width) * image.height; ++i) {
        const uint8_t* texel = &image.samples[i * image.channels];
        worst = std::max({worst, std::abs(texel[0] - expected[m].r), std::abs(texel[1] - expected[m].g),
                          std::abs(texel[2] - expected[m].b)});
      }
      EXPECT_LE(worst, m == 0 ? 1 : 6) << expected[m].name << " is not its own colour everywhere";
    }
  }
  ExpectValid({folder.Path("aged.glb"), folder.Path("aged.gltf")});
}

// A scene of named nodes under a moved, turned and mirrored parent, an alpha-tested material and
// vertex colours comes out with the same nodes, hierarchy and transforms, alpha mode and cutoff,
// COLOR_0 and TANGENT on every primitive. The primitive that had no normals gets flat ones, every
// attribute per corner, facing the way its corners turn in the mesh's own space, and unit
// tangents across them.
TEST(GltfDocument, KeepsTheSceneAlphaAndColoursAndGivesEveryPrimitiveTangents) {
  TestFolder folder;
  GlbBuilder glb;
  glb.json["materials"] = {{{"name", "Leaf"},
                            {"alphaMode", "MASK"},
                            {"alphaCutoff", 0.5},
                            {"doubleSided", true},
                            {"pbrMetallicRoughness",
                             {{"baseColorTexture", {{"index", glb.Texture(SolidPng(64, 0, 200, 0, 4), "image/png")}}}}}}};
  Json coloured = glb.Quad(0, true, 0);
  coloured["attributes"]["COLOR_0"] = glb.Floats(std::vector<float>(16, 0.5f), "VEC4", 4);
  glb.json["meshes"] = {{{"primitives", {coloured}}, {"name", "Coloured"}},
                        {{"primitives", {glb.Quad(0, false, 0)}}, {"name", "Flat"}}};
  glb.json["nodes"] = {{{"name", "Parent"},
                        {"translation", {1.0, 2.0, 3.0}},
                        {"rotation", {0.0, 0.70710678, 0.0, 0.70710678}},
                        {"scale", {-1.0, 2.0, 1.0}},
                        {"children", {1, 2}}},
                       {{"name", "LeafA"}, {"mesh", 0}, {"translation", {0.0, 1.0, 0.0}}},
                       {{"name", "LeafB"}, {"mesh", 1}}};
  glb.json["scenes"] = {{{"nodes", {0}}}};
  std::unique_ptr<RenderLib::ObjModel> model = Load(glb.Write(folder, "tree.glb"));
  ASSERT_TRUE(model);
  ASSERT_EQ(model->materials.size(), 1u);
  model->materials[0]->alphaMode = RenderLib::AlphaMode::kMask;

  const std::string out = folder.Path("tree_aged.glb");
  std::string error;
  ASSERT_TRUE(ExportAgedAsset(*model, EmptyMasks(*model), {}, out, &error)) << error;
  const tinygltf::Model back = ReadBack(out);
  ASSERT_EQ(back.nodes.size(), 3u);
  EXPECT_EQ(back.nodes[0].name, "Parent");
  EXPECT_EQ(back.nodes[0].children, (std::vector<int>{1, 2}));
  EXPECT_EQ(back.nodes[0].translation, (std::vector<double>{1.0, 2.0, 3.0}));
  EXPECT_EQ(back.nodes[0].scale, (std::vector<double>{-1.0, 2.0, 1.0}));
  EXPECT_NEAR(back.nodes[0].rotation.at(1), 0.70710678, 1e-9);
  EXPECT_EQ(back.nodes[1].name, "LeafA");
  EXPECT_EQ(back.nodes[1].translation, (std::vector<double>{0.0, 1.0, 0.0}));
  EXPECT_EQ(back.nodes[2].name, "LeafB");
  ASSERT_EQ(back.materials.size(), 1u);
  EXPECT_EQ(back.materials[0].alphaMode, "MASK");
  EXPECT_EQ(back.materials[0].alphaCutoff, 0.5);
  EXPECT_TRUE(back.materials[0].doubleSided);
  EXPECT_EQ(BaseColorOf(back, back.materials[0]).channels, 4u) << "the alpha the cutoff tests is kept";

  const tinygltf::Primitive& coloredBack = back.meshes.at(0).primitives.at(0);
  EXPECT_EQ(coloredBack.attributes.count("COLOR_0"), 1u);
  EXPECT_EQ(coloredBack.attributes.count("TANGENT"), 1u);
  const tinygltf::Primitive& flat = back.meshes.at(1).primitives.at(0);
  ASSERT_EQ(flat.attributes.count("NORMAL"), 1u);
  ASSERT_EQ(flat.attributes.count("TANGENT"), 1u);
  EXPECT_EQ(flat.indices, -1) << "written per corner";
  const std::vector<float> positions = Floats(back, flat.attributes.at("POSITION"));
  const std::vector<float> normals = Floats(back, flat.attributes.at("NORMAL"));
  const std::vector<float> tangents = Floats(back, flat.attributes.at("TANGENT"));
  ASSERT_EQ(positions.size(), 18u);
  ASSERT_EQ(tangents.size(), 24u);
  for (size_t corner = 0; corner < 6; ++corner) {
    // The quad lies in z = 0 and turns anticlockwise seen from +z: its own normal is +z.
    EXPECT_NEAR(normals[3 * corner + 2], 1.0f, 1e-5f) << corner;
    const float* t = &tangents[4 * corner];
    EXPECT_NEAR(t[0] * t[0] + t[1] * t[1] + t[2] * t[2], 1.0f, 1e-5f);
    EXPECT_NEAR(t[2], 0.0f, 1e-5f) << "across the normal";
    EXPECT_EQ(std::fabs(t[3]), 1.0f);
  }
  EXPECT_EQ(positions[3], 1.0f) << "the second corner is the file's second";
  ExpectValid({out});
}

// What the aged look does not touch comes back as it was: a camera and a light, a skin with its
// joints and an animation of one of them, a morph target with its default weight, a material
// extension, and the base colour's texture transform, coordinate set and sampler, which the aged
// texture is laid on with.
TEST(GltfDocument, CarriesCamerasLightsSkinsAnimationsMorphsAndExtensions) {
  TestFolder folder;
  GlbBuilder glb;
  glb.json["samplers"] = {{{"magFilter", 9728}, {"minFilter", 9728}, {"wrapS", 33071}}};
  const int texture = glb.Texture(SolidPng(32, 90, 60, 30), "image/png");
  glb.json["textures"][size_t(texture)]["sampler"] = 0;
  glb.json["extensionsUsed"] = {"KHR_texture_transform", "KHR_lights_punctual", "KHR_materials_transmission"};
  glb.json["extensionsRequired"] = {"KHR_texture_transform", "KHR_lights_punctual"};
  glb.json["extensions"] = {{"KHR_lights_punctual", {{"lights", {{{"type", "point"}, {"name", "Lamp"}}}}}}};
  const Json transform = {{"KHR_texture_transform", {{"offset", {0.25, 0.0}}, {"scale", {0.5, 0.5}}}}};
  glb.json["materials"] = {{{"name", "Glass"},
                            {"extensions", {{"KHR_materials_transmission", {{"transmissionFactor", 0.75}}}}},
                            {"pbrMetallicRoughness", {{"baseColorTexture", {{"index", texture}, {"extensions", transform}}}}}}};

  Json skinned = glb.Quad(0, true, 0);
  const uint8_t joints[16] = {};
  glb.json["accessors"].push_back(
      {{"bufferView", glb.View(joints, sizeof joints, 34962)}, {"componentType", 5121}, {"count", 4}, {"type", "VEC4"}});
  skinned["attributes"]["JOINTS_0"] = int(glb.json["accessors"].size()) - 1;
  skinned["attributes"]["WEIGHTS_0"] = glb.Floats({1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}, "VEC4", 4);
  Json morphed = glb.Quad(2, true, 0);
  morphed["targets"] = {{{"POSITION", glb.Floats({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3", 3, true)}}};
  glb.json["meshes"] = {{{"primitives", {skinned}}, {"name", "Cloth"}},
                        {{"primitives", {morphed}}, {"name", "Bulge"}, {"weights", {0.5}}}};
  const int inverseBind = glb.Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, "MAT4", 16, false, 0);
  glb.json["skins"] = {{{"joints", {1}}, {"inverseBindMatrices", inverseBind}}};
  const int times = glb.Floats({0.0f, 1.0f}, "SCALAR", 1, true, 0);
  const int moves = glb.Floats({0, 0, 0, 0, 2, 0}, "VEC3", 3, false, 0);
  Json animation = {{"name", "Sway"}};
  animation["samplers"] = Json::array({Json{{"input", times}, {"output", moves}}});
  animation["channels"] = Json::array({Json{{"sampler", 0}, {"target", {{"node", 1}, {"path", "translation"}}}}});
  glb.json["animations"] = Json::array({animation});
  glb.json["cameras"] = {{{"type", "perspective"}, {"perspective", {{"yfov", 0.8}, {"znear", 0.1}}}}};
  glb.json["nodes"] = {{{"name", "Cloth"}, {"mesh", 0}, {"skin", 0}},
                       {{"name", "Bone"}},
                       {{"name", "Bulge"}, {"mesh", 1}},
                       {{"name", "Eye"}, {"camera", 0}, {"translation", {0.0, 1.0, 5.0}}},
                       {{"name", "Lamp"}, {"extensions", {{"KHR_lights_punctual", {{"light", 0}}}}}}};
  glb.json["scenes"] = {{{"nodes", {0, 1, 2, 3, 4}}}};
  std::unique_ptr<RenderLib::ObjModel> model = Load(glb.Write(folder, "props.glb"));
  ASSERT_TRUE(model);

  const std::string out = folder.Path("props_aged.glb");
  std::string error;
  ASSERT_TRUE(ExportAgedAsset(*model, EmptyMasks(*model), {}, out, &error)) << error;
  const tinygltf::Model back = ReadBack(out);
  ASSERT_EQ(back.nodes.size(), 5u);
  EXPECT_EQ(back.nodes[0].skin, 0);
  EXPECT_EQ(back.nodes[3].camera, 0);
  ASSERT_EQ(back.cameras.size(), 1u);
  ASSERT_EQ(back.lights.size(), 1u);
  EXPECT_EQ(back.lights[0].name, "Lamp");
  ASSERT_EQ(back.skins.size(), 1u);
  EXPECT_EQ(back.skins[0].joints, (std::vector<int>{1}));
  EXPECT_EQ(Floats(back, back.skins[0].inverseBindMatrices)[15], 1.0f);
  EXPECT_EQ(back.meshes.at(0).primitives.at(0).attributes.count("JOINTS_0"), 1u);
  ASSERT_EQ(back.animations.size(), 1u);
  const tinygltf::Animation& sway = back.animations[0];
  ASSERT_EQ(sway.channels.size(), 1u);
  EXPECT_EQ(sway.channels[0].target_node, 1);
  EXPECT_EQ(sway.channels[0].target_path, "translation");
  EXPECT_EQ(Floats(back, sway.samplers.at(0).output), (std::vector<float>{0, 0, 0, 0, 2, 0}));
  const tinygltf::Mesh& bulge = back.meshes.at(1);
  EXPECT_EQ(bulge.weights, (std::vector<double>{0.5}));
  ASSERT_EQ(bulge.primitives.at(0).targets.size(), 1u);
  EXPECT_EQ(Floats(back, bulge.primitives[0].targets[0].at("POSITION"))[2], 1.0f);

  ASSERT_EQ(back.materials.size(), 1u);
  const tinygltf::Material& glass = back.materials[0];
  EXPECT_EQ(glass.extensions.count("KHR_materials_transmission"), 1u);
  const tinygltf::TextureInfo& base = glass.pbrMetallicRoughness.baseColorTexture;
  ASSERT_EQ(base.extensions.count("KHR_texture_transform"), 1u);
  EXPECT_EQ(base.extensions.at("KHR_texture_transform").Get("offset").Get(0).GetNumberAsDouble(), 0.25);
  const tinygltf::Texture& aged = back.textures.at(size_t(base.index));
  ASSERT_GE(aged.sampler, 0);
  EXPECT_EQ(back.samplers.at(size_t(aged.sampler)).magFilter, 9728) << "pixel art stays sharp";
  EXPECT_EQ(back.images.at(size_t(aged.source)).name, "Glass_baseColor");
  ExpectValid({out});
}

}  // namespace
}  // namespace AssetExport
