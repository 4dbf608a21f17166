#include "assetexport/aged_export.h"

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "assetexport/surface_frames.h"
#include "imagelib/decoded_image.h"
#include "imagelib/image_decoder.h"
#include "imagelib/png_writer.h"
#include "renderlib/model_file.h"
#include "renderlib/obj_loader.h"
#include "tests/assetexport/export_test_models.h"

namespace AssetExport {
namespace {

namespace fs = std::filesystem;
using AssetExportTest::TestFolder;

const std::string kSphere = std::string(PATINEX_SOURCE_DIR) + "/media/sphere.obj";

// Writes a step's masks as 16-bit-free grey PNGs: rust rising across the columns, dirt down the
// rows, humidity even.
void WriteMasks(const TestFolder& folder, int step, uint32_t size = 32) {
  const char* names[3] = {"humidity", "dirt", "rust"};
  for (int c = 0; c < 3; ++c) {
    std::vector<uint8_t> grey(size_t(size) * size);
    for (uint32_t y = 0; y < size; ++y) {
      for (uint32_t x = 0; x < size; ++x) grey[y * size + x] = uint8_t(c == 0 ? 128 : (c == 1 ? y : x) * 255 / size);
    }
    std::vector<uint8_t> png;
    std::string error;
    ASSERT_TRUE(ImageLib::EncodePng8(grey.data(), size, size, 1, &png, &error)) << error;
    char name[64];
    std::snprintf(name, sizeof name, "mask_%s%02d.png", names[c], step);
    folder.Write(name, std::string(png.begin(), png.end()));
  }
}

// Keeps an image's file bytes as they are: pictures are decoded by imagelib, here too.
bool KeepImageBytes(tinygltf::Image* image, const int, std::string*, std::string*, int, int, const unsigned char* bytes,
                    int size, void*) {
  image->image.assign(bytes, bytes + size);
  return true;
}

std::vector<float> AccessorFloats(const tinygltf::Model& model, int index) {
  const tinygltf::Accessor& accessor = model.accessors[size_t(index)];
  const tinygltf::BufferView& view = model.bufferViews[size_t(accessor.bufferView)];
  const std::vector<unsigned char>& data = model.buffers[size_t(view.buffer)].data;
  const size_t components = size_t(tinygltf::GetNumComponentsInType(uint32_t(accessor.type)));
  std::vector<float> values(accessor.count * components);
  std::memcpy(values.data(), data.data() + view.byteOffset + accessor.byteOffset, values.size() * sizeof(float));
  return values;
}

ImageLib::DecodedImage Decode(const std::vector<unsigned char>& bytes) {
  ImageLib::DecodedImage image;
  std::string error;
  EXPECT_TRUE(ImageLib::DecodeImage(bytes.data(), bytes.size(), image, error)) << error;
  return image;
}

// A .glb and a .gltf of the shipped sphere read back (by tinygltf) as the same triangles,
// positions, texture coordinates (glTF's v downwards), unit tangents with w = +-1, the baked
// textures at the size asked for, and the step's masks byte for byte, named in the extras.
TEST(GltfExport, ReadsBackTheSameTrianglesCoordinatesAndImages) {
  TestFolder folder;
  WriteMasks(folder, 0);
  WriteMasks(folder, 3);
  std::unique_ptr<RenderLib::ObjModel> sphere = RenderLib::LoadObj(kSphere.c_str(), nullptr);
  ASSERT_TRUE(sphere);
  ASSERT_EQ(sphere->groups.size(), 1u);
  const RenderLib::MeshGroup& group = *sphere->groups.begin();
  for (const char* name : {"sphere.glb", "sphere.gltf"}) {
    SCOPED_TRACE(name);
    ExportSettings settings;
    settings.size = 128;
    int32_t step = -1;
    std::string error;
    const std::string out = folder.Path(name);
    ASSERT_TRUE(ExportAgedAssetFromFolder(*sphere, folder.Path(), &step, settings, out, &error)) << error;
    EXPECT_EQ(step, 3);

    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(KeepImageBytes, nullptr);
    tinygltf::Model model;
    std::string warning;
    const bool read = fs::path(out).extension() == ".glb" ? loader.LoadBinaryFromFile(&model, &error, &warning, out)
                                                           : loader.LoadASCIIFromFile(&model, &error, &warning, out);
    ASSERT_TRUE(read) << error;
    ASSERT_EQ(model.meshes.size(), 1u);
    ASSERT_EQ(model.meshes[0].primitives.size(), 1u);
    const tinygltf::Primitive& primitive = model.meshes[0].primitives[0];
    const std::vector<float> positions = AccessorFloats(model, primitive.attributes.at("POSITION"));
    const std::vector<float> coordinates = AccessorFloats(model, primitive.attributes.at("TEXCOORD_0"));
    const std::vector<float> tangents = AccessorFloats(model, primitive.attributes.at("TANGENT"));
    ASSERT_EQ(positions.size(), 3 * group.vertices.size());
    for (size_t i = 0; i < group.vertices.size(); ++i) {
      const RenderLib::VertexNormalUV& vertex = group.vertices[i];
      for (int axis = 0; axis < 3; ++axis) EXPECT_NEAR(positions[3 * i + size_t(axis)], vertex.position[axis], 2e-5f);
      EXPECT_EQ(coordinates[2 * i], vertex.u);
      EXPECT_EQ(coordinates[2 * i + 1], 1.0f - vertex.v);
      const float* t = &tangents[4 * i];
      EXPECT_NEAR(t[0] * t[0] + t[1] * t[1] + t[2] * t[2], 1.0f, 1e-5f);
      EXPECT_EQ(std::fabs(t[3]), 1.0f);
    }
    const tinygltf::Accessor& indices = model.accessors[size_t(primitive.indices)];
    ASSERT_EQ(indices.count, group.indices.size());
    const tinygltf::BufferView& view = model.bufferViews[size_t(indices.bufferView)];
    const uint32_t* read32 = reinterpret_cast<const uint32_t*>(model.buffers[0].data.data() + view.byteOffset);
    for (size_t i = 0; i < indices.count; ++i) ASSERT_EQ(int32_t(read32[i]), group.indices[i]);

    ASSERT_EQ(model.images.size(), 6u);
    ASSERT_EQ(model.materials.size(), 1u);
    const tinygltf::Material& material = model.materials[0];
    const int textures[3] = {material.pbrMetallicRoughness.baseColorTexture.index,
                             material.pbrMetallicRoughness.metallicRoughnessTexture.index, material.normalTexture.index};
    for (const int texture : textures) {
      ASSERT_GE(texture, 0);
      const ImageLib::DecodedImage image = Decode(model.images[size_t(model.textures[size_t(texture)].source)].image);
      EXPECT_EQ(image.width, 128u);
      EXPECT_EQ(image.channels, 3u);
    }
    const tinygltf::Value& masks = material.extras.Get("patinexMasks");
    const char* channels[3] = {"humidity", "dirt", "rust"};
    for (const char* channel : channels) {
      const int image = masks.Get(channel).GetNumberAsInt();
      const std::string file = folder.Path("mask_" + std::string(channel) + "03.png");
      const std::string bytes = [&] {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
      }();
      EXPECT_EQ(std::string(model.images[size_t(image)].image.begin(), model.images[size_t(image)].image.end()), bytes)
          << channel;
    }
    EXPECT_EQ(model.asset.extras.Get("patinexStep").GetNumberAsInt(), 3);

    // Read back by the program, the step's masks come with the aged material, each by its name:
    // rust grows along the rows, dirt down the columns.
    RenderLib::ErrorList notes;
    std::unique_ptr<RenderLib::ObjModel> back = RenderLib::LoadModelFile(out, &notes, error);
    ASSERT_TRUE(back) << error;
    ASSERT_EQ(back->materials.size(), 1u);
    const RenderLib::Material& aged = *back->materials[0];
    ASSERT_TRUE(aged.rustMask && aged.dirtMask);
    ASSERT_EQ(aged.rustMask->width, 32u);
    const uint32_t lastColumn = 31;
    EXPECT_GT(aged.rustMask->samples[lastColumn * aged.rustMask->channels], 0.9f);
    EXPECT_LT(aged.dirtMask->samples[lastColumn * aged.dirtMask->channels], 0.05f);
  }
}

// A write that fails leaves nothing under the final names: not in a folder that is not there,
// and not the companions of a .gltf whose own file cannot be put in place.
TEST(GltfExport, AFailedWriteLeavesNoFileBehind) {
  TestFolder folder;
  WriteMasks(folder, 0);
  std::unique_ptr<RenderLib::ObjModel> sphere = RenderLib::LoadObj(kSphere.c_str(), nullptr);
  ASSERT_TRUE(sphere);
  ExportSettings settings;
  settings.size = 64;
  std::string error;
  int32_t step = 0;
  const std::string missing = folder.Path("gone/sphere.glb");
  EXPECT_FALSE(ExportAgedAssetFromFolder(*sphere, folder.Path(), &step, settings, missing, &error));
  EXPECT_NE(error.find(missing), std::string::npos) << error;
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;

  fs::create_directory(folder.path / "taken.gltf");  // a folder where the .gltf should go
  const size_t filesBefore = size_t(std::distance(fs::directory_iterator(folder.path), fs::directory_iterator()));
  error.clear();
  EXPECT_FALSE(ExportAgedAssetFromFolder(*sphere, folder.Path(), &step, settings, folder.Path("taken.gltf"), &error));
  EXPECT_NE(error.find("taken.gltf"), std::string::npos) << error;
  EXPECT_EQ(size_t(std::distance(fs::directory_iterator(folder.path), fs::directory_iterator())), filesBefore)
      << "companions or temporaries left behind";

  error.clear();
  EXPECT_FALSE(ExportAgedAssetFromFolder(*sphere, folder.Path(), &step, settings, folder.Path("sphere.obj"), &error));
  EXPECT_NE(error.find("a .glb or a .gltf"), std::string::npos) << error;
}

TEST(GltfExport, RefusesAModelWithoutTextureCoordinates) {
  TestFolder folder;
  WriteMasks(folder, 0);
  const std::string path = folder.Write("flat.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  std::unique_ptr<RenderLib::ObjModel> triangle = RenderLib::LoadObj(path.c_str(), nullptr);
  ASSERT_TRUE(triangle);
  std::string error;
  int32_t step = -1;
  EXPECT_FALSE(ExportAgedAssetFromFolder(*triangle, folder.Path(), &step, {}, folder.Path("flat.glb"), &error));
  EXPECT_NE(error.find("no texture coordinates"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(folder.Path("flat.glb")));
}

}  // namespace
}  // namespace AssetExport
