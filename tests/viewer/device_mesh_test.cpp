#include "viewer/device_mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/effect.h"
#include "tests/viewer/hidden_device.h"

namespace Viewer {
namespace {

using namespace RenderLib;

// An image of width x height pixels with the given samples (channels interleaved).
RefCountedImage* MakeImage(uint32_t width, uint32_t height, uint32_t channels, const std::vector<float>& samples) {
  auto* image = new RefCountedImage();
  image->width = width;
  image->height = height;
  image->channels = channels;
  image->samples = new float[samples.size()];
  std::copy(samples.begin(), samples.end(), image->samples);
  image->valid = true;
  return image;
}

MaterialHandle MakeMaterial(Vector3 diffuse, RefCountedImage* diffuseMap = nullptr) {
  MaterialHandle material(new Material());
  material->diffuse = diffuse;
  material->diffuseMap = diffuseMap;
  return material;
}

// One triangle covering the centre of a -1..1 square in the plane z = 0.5.
MeshGroup CentreTriangle(int32_t material) {
  MeshGroup group;
  group.materialIndex = material;
  for (Vector3 p : {Vector3(-1.0f, -1.0f, 0.5f), Vector3(0.0f, 1.0f, 0.5f), Vector3(1.0f, -1.0f, 0.5f)}) {
    VertexNormalUV vertex;
    vertex.position = p;
    vertex.normal = Vector3(0.0f, 0.0f, -1.0f);
    vertex.tangent = Vector3(1.0f, 0.0f, 0.0f);
    group.vertices.push_back(vertex);
  }
  for (int32_t index : {0, 1, 2}) group.indices.push_back(index);
  return group;
}

// Draws positions as they are (the model fits -1..1) in the colour of the texture's centre.
const char kTexturedEffect[] = R"(
shared { uniform sampler2D g_Texture; }
vertex Plain {
  in vec4 POSITION;
  void main() { gl_Position = vec4(POSITION.xyz * 0.8, 1.0); }
}
fragment Texel {
  out vec4 color;
  void main() { color = texture(g_Texture, vec2(0.5)); }
}
technique Draw { pass P0 { vertex = Plain; fragment = Texel; depth_test = off; } }
)";

using DeviceMeshTest = HiddenDevice;

TEST_F(DeviceMeshTest, ReportsMissingInputAndMeshesThatCannotBeMade) {
  ObjModel model;
  model.groups.push_back(CentreTriangle(0));
  ErrorList errors;
  EXPECT_EQ(CreateDeviceMesh(nullptr, &model, &errors), nullptr);
  EXPECT_EQ(CreateDeviceMesh(device.get(), nullptr, &errors), nullptr);
  EXPECT_EQ(errors, (ErrorList{"Invalid input", "Invalid input"}));

  ObjModel noFaces;
  noFaces.materials.push_back(MakeMaterial(Vector3(1.0f, 0.0f, 0.0f), MakeImage(1, 1, 3, {1.0f, 0.0f, 0.0f})));
  errors.clear();
  EXPECT_EQ(CreateDeviceMesh(device.get(), &noFaces, &errors), nullptr);
  EXPECT_EQ(errors, ErrorList{"Unable to create mesh"});
}

TEST_F(DeviceMeshTest, FacesWithoutMaterialGetTheGreyDefault) {
  ObjModel model;
  model.materials.push_back(MakeMaterial(Vector3(1.0f, 0.0f, 0.0f)));
  model.groups.push_back(CentreTriangle(-1));
  model.groups.push_back(CentreTriangle(0));
  std::unique_ptr<DeviceMesh> mesh = CreateDeviceMesh(device.get(), &model);
  ASSERT_NE(mesh, nullptr);
  ASSERT_EQ(mesh->SubsetCount(), 2u);
  for (uint32_t i = 0; i < 2; ++i) {
    const DeviceMaterial& material = mesh->GetSubsetMaterial(i);
    if (mesh->Subset(i).attributeId == 0) {
      EXPECT_EQ(&material, &mesh->Materials()[0]);
      EXPECT_EQ(material.diffuse, Vector3(1.0f, 0.0f, 0.0f));
    } else {
      EXPECT_EQ(mesh->Subset(i).attributeId, kNoMaterialAttribute);
      EXPECT_EQ(material.diffuse, Vector3(0.5f, 0.5f, 0.5f));
      EXPECT_FALSE(material.HasTexture());
    }
  }
}

TEST_F(DeviceMeshTest, UploadsDiffuseMapsOfOneToFourChannelsAndMarksRefusedOnes) {
  ObjModel model;
  model.materials.push_back(MakeMaterial(Vector3(), MakeImage(2, 1, 1, {0.1f, 0.2f})));
  model.materials.push_back(MakeMaterial(Vector3(), MakeImage(2, 1, 2, {0.1f, 0.2f, 0.3f, 0.4f})));
  model.materials.push_back(MakeMaterial(Vector3(), MakeImage(1, 2, 3, {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f})));
  model.materials.push_back(MakeMaterial(Vector3(), MakeImage(1, 1, 4, {0.1f, 0.2f, 0.3f, 0.4f})));
  // Wider than any GL texture may be: the device refuses it.
  model.materials.push_back(MakeMaterial(Vector3(), MakeImage(70000, 1, 1, std::vector<float>(70000, 0.5f))));
  MaterialHandle ambientOnly = MakeMaterial(Vector3());
  ambientOnly->ambientMap = MakeImage(1, 1, 3, {1.0f, 1.0f, 1.0f});
  model.materials.push_back(ambientOnly);
  model.groups.push_back(CentreTriangle(0));

  std::unique_ptr<DeviceMesh> mesh = CreateDeviceMesh(device.get(), &model);
  ASSERT_NE(mesh, nullptr);
  const std::vector<DeviceMaterial>& materials = mesh->Materials();
  ASSERT_EQ(materials.size(), 6u);
  const std::array<std::array<uint32_t, 2>, 4> sizes = {{{2, 1}, {2, 1}, {1, 2}, {1, 1}}};
  for (size_t i = 0; i < 4; ++i) {
    ASSERT_NE(materials[i].textureView, nullptr) << "material " << i;
    EXPECT_EQ(materials[i].textureView->Width(), sizes[i][0]);
    EXPECT_EQ(materials[i].textureView->Height(), sizes[i][1]);
    EXPECT_FALSE(materials[i].textureFailed);
  }
  EXPECT_EQ(materials[4].textureView, nullptr);
  EXPECT_TRUE(materials[4].textureFailed);
  EXPECT_TRUE(materials[4].HasTexture());
  EXPECT_FALSE(materials[5].HasTexture());  // only the diffuse map is uploaded
}

TEST(DeviceMaterialExpansion, FillsRgbaFromEveryChannelCount) {
  auto expand = [](uint32_t channels, std::vector<float> samples) {
    CountedHandle<RefCountedImage> image(MakeImage(2, 1, channels, samples));
    return ExpandToRgba(*image);
  };
  EXPECT_EQ(expand(1, {0.1f, 0.2f}), (std::vector<float>{0.1f, 0.1f, 0.1f, 1.0f, 0.2f, 0.2f, 0.2f, 1.0f}));
  EXPECT_EQ(expand(2, {0.1f, 0.5f, 0.2f, 0.6f}),
            (std::vector<float>{0.1f, 0.1f, 0.1f, 0.5f, 0.2f, 0.2f, 0.2f, 0.6f}));
  EXPECT_EQ(expand(3, {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f}),
            (std::vector<float>{0.1f, 0.2f, 0.3f, 1.0f, 0.4f, 0.5f, 0.6f, 1.0f}));
  const std::vector<float> rgba = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f};
  EXPECT_EQ(expand(4, rgba), rgba);
}

TEST_F(DeviceMeshTest, DrawingTheSphereSubsetColoursTheCentreWithItsMaterialTexture) {
  std::unique_ptr<ObjModel> model = LoadObj(PATINEX_SOURCE_DIR "/media/sphere.obj");
  ASSERT_NE(model, nullptr);
  ASSERT_FALSE(model->materials.empty());
  // A grey-with-alpha map: the draw shows whether the expansion reached the device.
  model->materials[0]->diffuseMap = MakeImage(1, 1, 2, {0.25f, 0.5f});
  std::unique_ptr<DeviceMesh> mesh = CreateDeviceMesh(device.get(), model.get());
  ASSERT_NE(mesh, nullptr);
  ASSERT_EQ(mesh->SubsetCount(), 1u);

  std::unique_ptr<Platform::Effect> effect;
  std::string errors;
  ASSERT_EQ(Platform::CreateEffectFromMemory(device.get(), kTexturedEffect, "textured.fx", &effect, &errors),
            Platform::kOk)
      << errors;
  Platform::EffectPass* pass = effect->TechniqueByName("Draw")->PassByIndex(0);
  std::unique_ptr<Platform::InputLayout> layout;
  ASSERT_EQ(device->CreateInputLayout(kDeviceVertexElements, kDeviceVertexElementCount, pass->Signature(), &layout),
            Platform::kOk);
  std::unique_ptr<Platform::RenderTarget> target;
  ASSERT_EQ(device->CreateRenderTarget(32, 32, &target), Platform::kOk);

  device->SetRenderTargets(target->ColorView(), nullptr);
  device->SetViewport({0, 0, 32, 32, 0.0f, 1.0f});
  const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  device->ClearRenderTargetView(target->ColorView(), black);
  effect->VariableByName("g_Texture")->SetResource(mesh->GetSubsetMaterial(0).textureView.get());
  device->SetInputLayout(layout.get());
  pass->Apply();
  mesh->DrawSubset(0);
  std::array<float, 4> centre{}, corner{};
  ASSERT_EQ(device->ReadPixels(16, 16, 1, 1, centre.data()), Platform::kOk);
  ASSERT_EQ(device->ReadPixels(0, 0, 1, 1, corner.data()), Platform::kOk);
  device->SetInputLayout(nullptr);
  device->SetRenderTargets(device->BackBufferView(), device->DepthStencilBufferView());

  EXPECT_FLOAT_EQ(centre[0], 0.25f);
  EXPECT_FLOAT_EQ(centre[1], 0.25f);
  EXPECT_FLOAT_EQ(centre[2], 0.25f);
  EXPECT_FLOAT_EQ(centre[3], 0.5f);
  EXPECT_EQ(corner, (std::array<float, 4>{0.0f, 0.0f, 0.0f, 0.0f}));  // outside the sphere
}

}  // namespace
}  // namespace Viewer
