// Each material drawn as it is, through the shipped mesh effect: its own masks, and its alpha,
// sides and vertex colours. Models are built here, quads side by side facing the camera.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "renderlib/triangle_soup.h"
#include "tests/renderlib/temporary_folder.h"
#include "tests/viewer/hidden_device.h"
#include "viewer/environment_light.h"
#include "viewer/environment_preparation.h"
#include "viewer/scene_effects.h"

namespace Viewer {
namespace {

using RenderLib::Vector3;
using Pixel = std::array<float, 4>;

constexpr uint32_t kSize = 64;

// A quad from x = left to right, y -1..1 in the plane z = 0, facing +z, wound anticlockwise as
// seen from there, its texture coordinates over the whole unit square.
RenderLib::MeshGroup Quad(float left, float right, int32_t material) {
  RenderLib::MeshGroup group;
  group.materialIndex = material;
  const float corners[4][4] = {{left, -1, 0, 0}, {right, -1, 1, 0}, {right, 1, 1, 1}, {left, 1, 0, 1}};
  for (const auto& c : corners) {
    RenderLib::VertexNormalUV vertex;
    vertex.position = Vector3(c[0], c[1], 0.0f);
    vertex.normal = Vector3(0.0f, 0.0f, 1.0f);
    vertex.tangent = Vector3(1.0f, 0.0f, 0.0f);
    vertex.u = c[2];
    vertex.v = c[3];
    group.vertices.push_back(vertex);
  }
  group.indices = {0, 1, 2, 0, 2, 3};
  return group;
}

RenderLib::ImageHandle Image(uint32_t width, uint32_t height, const std::vector<float>& rgba) {
  RenderLib::ImageHandle image(new RenderLib::RefCountedImage());
  image->width = width;
  image->height = height;
  image->channels = 4;
  image->samples = new float[rgba.size()];
  std::copy(rgba.begin(), rgba.end(), image->samples);
  image->valid = true;
  return image;
}

// A glTF material of the given base colour factor, not metal, fully rough.
RenderLib::MaterialHandle OwnMaterial(std::array<float, 4> baseColor) {
  RenderLib::MaterialHandle material(new RenderLib::Material());
  material->metallicRoughness = true;
  for (int c = 0; c < 4; ++c) material->baseColorFactor[c] = baseColor[size_t(c)];
  material->metallicFactor = 0.0f;
  material->roughnessFactor = 1.0f;
  return material;
}

class MaterialDrawing : public HiddenDevice {
protected:
  void SetUp() override {
    HiddenDevice::SetUp();
    if (HasFatalFailure()) return;
    for (const char* name : {"drawmesh.fx", "aged_look.glsl", "environment_light.glsl"}) {
      std::filesystem::copy_file(std::string(PATINEX_SOURCE_DIR "/media/") + name, media.Path(name));
    }
    ASSERT_EQ(device->CreateRenderTarget(kSize, kSize, &target), Platform::kOk);
    std::string problems;
    ASSERT_EQ(effect.Load(*device, media.Path(), &problems), Platform::kOk) << problems;
    const RadianceMap grey{16, 8, std::vector<float>(16 * 8 * 3, 0.8f)};
    ASSERT_EQ(light.Upload(PrepareEnvironment(grey, nullptr), &problems), Platform::kOk) << problems;
    effect.UseEnvironment(&light);
  }
  void TearDown() override {
    target.reset();
    effect.Release();
    light.Release();
    HiddenDevice::TearDown();
  }

  std::unique_ptr<Platform::ShaderResourceView> Grey(float value) {
    const float rgba[4] = {value, value, value, 1.0f};
    std::unique_ptr<Platform::ShaderResourceView> view;
    EXPECT_EQ(device->CreateTextureFromFloatRGBA(1, 1, rgba, &view), Platform::kOk);
    return view;
  }

  // Draws the model, framed from its front, over the background colour and reads the picture
  // back (rows from the top).
  std::vector<Pixel> Drawn(const RenderLib::ObjModel& model, int view, const PatinaMasks& masks) {
    std::unique_ptr<DeviceMesh> mesh = CreateDeviceMesh(device.get(), &model);
    EXPECT_NE(mesh, nullptr);
    if (mesh == nullptr) return {};
    effect.AssignMaterialTechniques(*mesh);
    const ModelBounds bounds = BoundsOfBox(RenderLib::TriangleSoup(model).GetBoundingBox());
    const CameraMatrices camera = FixedCamera(StartingCamera(bounds), Platform::MatrixIdentity(), kSize, kSize);
    device->SetRenderTargets(target->ColorView(), target->DepthView());
    device->SetViewport({0, 0, kSize, kSize, 0.0f, 1.0f});
    device->ClearRenderTargetView(target->ColorView(), kBackground.data());
    device->ClearDepthStencilView(target->DepthView(), 1.0f);
    effect.Draw(*mesh, effect.ViewTechnique(view), camera, masks);
    std::vector<Pixel> pixels(kSize * kSize);
    EXPECT_EQ(device->ReadPixels(0, 0, kSize, kSize, pixels[0].data()), Platform::kOk);
    device->SetRenderTargets(device->BackBufferView(), device->DepthStencilBufferView());
    return pixels;
  }

  static Pixel At(const std::vector<Pixel>& pixels, uint32_t x, uint32_t y) {
    return pixels.empty() ? Pixel{} : pixels[size_t(y) * kSize + x];
  }

  static constexpr Pixel kBackground = {0.0f, 0.0f, 1.0f, 1.0f};
  TemporaryFolder media;
  EnvironmentLight light;
  MeshEffect effect;
  std::unique_ptr<Platform::RenderTarget> target;
};

TEST_F(MaterialDrawing, EachMaterialShowsTheMasksOfItsOwnSpace) {
  // Two materials whose texture coordinates cover the same square: their masks cannot share texels.
  RenderLib::ObjModel model;
  model.materials = {OwnMaterial({1, 1, 1, 1}), OwnMaterial({1, 1, 1, 1})};
  model.groups = {Quad(-1.0f, -0.1f, 0), Quad(0.1f, 1.0f, 1)};
  const auto clean = Grey(0.0f), rusty = Grey(1.0f);
  Platform::ShaderResourceView* const bySpace[] = {clean.get(), rusty.get()};
  const int32_t spaceOfMaterial[] = {0, 1};
  const uint32_t left = kSize / 4, right = kSize * 3 / 4, middle = kSize / 2;

  const std::vector<Pixel> rust = Drawn(model, 2, {bySpace, bySpace, spaceOfMaterial, 1.0f, 1.0f});
  EXPECT_LT(At(rust, left, middle)[0], 0.1f);
  EXPECT_GT(At(rust, right, middle)[0], 0.4f);
  // The spaces swapped, the groups swap with them.
  const int32_t swapped[] = {1, 0};
  const std::vector<Pixel> dirt = Drawn(model, 1, {bySpace, bySpace, swapped, 1.0f, 1.0f});
  EXPECT_GT(At(dirt, left, middle)[0], 0.4f);
  EXPECT_LT(At(dirt, right, middle)[0], 0.1f);

  // An aged export's own masks show where its space has none from a run.
  model.materials[0]->rustMask = Image(1, 1, {1, 1, 1, 1});
  Platform::ShaderResourceView* const onlySpaceOne[] = {nullptr, clean.get()};
  const std::vector<Pixel> carried = Drawn(model, 2, {onlySpaceOne, onlySpaceOne, spaceOfMaterial, 1.0f, 1.0f});
  EXPECT_GT(At(carried, left, middle)[0], 0.4f);
  EXPECT_LT(At(carried, right, middle)[0], 0.1f);
}

TEST_F(MaterialDrawing, AlphaMasksBlendsOrIsIgnoredAsTheMaterialSays) {
  // The base colour's alpha is 0 on the left half of the texture, 1 on the right.
  std::vector<float> texels;
  for (int x = 0; x < 8; ++x) texels.insert(texels.end(), {1.0f, 1.0f, 1.0f, x < 4 ? 0.0f : 1.0f});
  RenderLib::ObjModel model;
  model.materials = {OwnMaterial({1, 1, 1, 1})};
  model.materials[0]->diffuseMap = Image(8, 1, texels);
  model.groups = {Quad(-1.0f, 1.0f, 0)};
  const uint32_t left = kSize / 4, right = kSize * 3 / 4, middle = kSize / 2;

  const std::vector<Pixel> opaque = Drawn(model, 0, {});
  EXPECT_NE(At(opaque, left, middle), kBackground);
  EXPECT_NE(At(opaque, right, middle), kBackground);
  EXPECT_NEAR(At(opaque, left, middle)[0], At(opaque, right, middle)[0], 0.02f);

  model.materials[0]->alphaMode = RenderLib::AlphaMode::kMask;
  const std::vector<Pixel> masked = Drawn(model, 0, {});
  EXPECT_EQ(At(masked, left, middle), kBackground);
  EXPECT_EQ(At(masked, right, middle), At(opaque, right, middle));
  const std::vector<Pixel> maskedRust = Drawn(model, 2, {});
  EXPECT_EQ(At(maskedRust, left, middle), kBackground);
  EXPECT_NE(At(maskedRust, right, middle), kBackground);

  // Half transparent where the mask kept nothing: halfway between the background and the surface.
  for (size_t i = 3; i < texels.size() / 2; i += 4) texels[i] = 0.5f;
  model.materials[0]->diffuseMap = Image(8, 1, texels);
  model.materials[0]->alphaMode = RenderLib::AlphaMode::kBlend;
  const std::vector<Pixel> blended = Drawn(model, 0, {});
  for (int c = 0; c < 3; ++c) {
    EXPECT_NEAR(At(blended, left, middle)[size_t(c)], 0.5f * (kBackground[size_t(c)] + At(opaque, left, middle)[size_t(c)]),
                0.02f);
  }
  EXPECT_EQ(At(blended, right, middle), At(opaque, right, middle));
}

TEST_F(MaterialDrawing, AVertexColouredGroupTakesItsColourAndTheOthersKeepTheirs) {
  RenderLib::ObjModel model;
  model.materials = {OwnMaterial({1, 1, 1, 1})};
  model.groups = {Quad(-1.0f, -0.1f, 0), Quad(0.1f, 1.0f, 0)};
  model.groups[0].extras.resize(4);
  for (RenderLib::VertexExtras& extras : model.groups[0].extras) {
    extras.color[0] = 0.1f;
    extras.color[2] = 0.1f;
  }
  const std::vector<Pixel> pixels = Drawn(model, 0, {});
  const Pixel green = At(pixels, kSize / 4, kSize / 2), grey = At(pixels, kSize * 3 / 4, kSize / 2);
  EXPECT_GT(green[1], 0.3f);
  EXPECT_LT(green[0], 0.5f * green[1]);
  EXPECT_LT(green[2], 0.5f * green[1]);
  EXPECT_NEAR(grey[0], grey[1], 0.02f);
  EXPECT_NEAR(grey[1], green[1], 0.05f);
}

TEST_F(MaterialDrawing, AOneSidedMaterialHidesItsBackAndADoubleSidedOneLightsItAsItsFront) {
  // Light from one side of the world only (the quarters around +z and -z differ), so that a
  // turned normal shows.
  RadianceMap sided{16, 8, std::vector<float>(16 * 8 * 3)};
  for (size_t i = 0; i < sided.rgb.size(); ++i) sided.rgb[i] = (i / 3) % 16 / 4 % 3 == 0 ? 0.02f : 0.6f;
  std::string problems;
  ASSERT_EQ(light.Upload(PrepareEnvironment(sided, nullptr), &problems), Platform::kOk) << problems;
  RenderLib::ObjModel model;
  model.materials = {OwnMaterial({1, 1, 1, 1})};
  model.groups = {Quad(-1.0f, 1.0f, 0)};
  const Pixel front = At(Drawn(model, 0, {}), kSize / 2, kSize / 2);
  ASSERT_NE(front, kBackground);

  // The same quad turned to face away: wound the other way round, its normal along -z.
  RenderLib::MeshGroup& quad = model.groups[0];
  std::swap(quad.indices[1], quad.indices[2]);
  std::swap(quad.indices[4], quad.indices[5]);
  for (RenderLib::VertexNormalUV& vertex : quad.vertices) vertex.normal = Vector3(0.0f, 0.0f, -1.0f);
  EXPECT_EQ(At(Drawn(model, 0, {}), kSize / 2, kSize / 2), kBackground);
  EXPECT_EQ(At(Drawn(model, 2, {}), kSize / 2, kSize / 2), kBackground);
  model.materials[0]->doubleSided = true;
  const Pixel back = At(Drawn(model, 0, {}), kSize / 2, kSize / 2);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(back[size_t(c)], front[size_t(c)], 0.02f) << c;
}

// A black material that glows by an emissive map, dark on its left half and white on its right.
RenderLib::MaterialHandle GlowingHalf() {
  RenderLib::MaterialHandle material = OwnMaterial({0, 0, 0, 1});
  for (float& c : material->emissiveFactor) c = 1.0f;
  material->emissiveMap = Image(2, 1, {0, 0, 0, 1, 1, 1, 1, 1});
  return material;
}

TEST_F(MaterialDrawing, AMapReadsItsOwnCoordinateSetThroughItsTransform) {
  RenderLib::ObjModel model;
  model.materials = {GlowingHalf()};
  model.groups = {Quad(-1.0f, 1.0f, 0)};
  // The second set runs the other way.
  RenderLib::MeshGroup& quad = model.groups[0];
  quad.extras.resize(quad.vertices.size());
  for (size_t i = 0; i < quad.vertices.size(); ++i) {
    quad.extras[i].texCoord[0][0] = quad.vertices[i].u;
    quad.extras[i].texCoord[0][1] = quad.vertices[i].v;
    quad.extras[i].texCoord[1][0] = 1.0f - quad.vertices[i].u;
    quad.extras[i].texCoord[1][1] = quad.vertices[i].v;
  }
  const auto brighterOnTheRight = [&] {
    const std::vector<Pixel> pixels = Drawn(model, 0, {});
    return At(pixels, kSize * 3 / 4, kSize / 2)[0] - At(pixels, kSize / 4, kSize / 2)[0];
  };
  EXPECT_GT(brighterOnTheRight(), 0.5f);
  model.materials[0]->emissiveSlot.texCoord = 1;
  EXPECT_LT(brighterOnTheRight(), -0.5f);
  // The first set again, turned round by its transform: u' = 1 - u.
  model.materials[0]->emissiveSlot.texCoord = 0;
  model.materials[0]->emissiveSlot.transform.scale[0] = -1.0f;
  model.materials[0]->emissiveSlot.transform.offset[0] = 1.0f;
  EXPECT_LT(brighterOnTheRight(), -0.5f);
}

TEST_F(MaterialDrawing, ANormalMapOnAnotherSetTiltsAlongThatSetsOwnDirections) {
  // Bright on one side of the world and dark on the other, the sides differing along x.
  RadianceMap sided{16, 8, std::vector<float>(16 * 8 * 3)};
  for (size_t i = 0; i < sided.rgb.size(); ++i) sided.rgb[i] = (i / 3) % 16 < 8 ? 0.02f : 0.6f;
  std::string problems;
  ASSERT_EQ(light.Upload(PrepareEnvironment(sided, nullptr), &problems), Platform::kOk) << problems;
  RenderLib::ObjModel model;
  model.materials = {OwnMaterial({1, 1, 1, 1})};
  model.groups = {Quad(-1.0f, 1.0f, 0)};
  RenderLib::MeshGroup& quad = model.groups[0];
  quad.extras.resize(quad.vertices.size());
  for (size_t i = 0; i < quad.vertices.size(); ++i) {
    quad.extras[i].texCoord[0][0] = quad.vertices[i].u;
    quad.extras[i].texCoord[0][1] = quad.vertices[i].v;
    quad.extras[i].texCoord[1][0] = 1.0f - quad.vertices[i].u;  // runs along -x
    quad.extras[i].texCoord[1][1] = quad.vertices[i].v;
  }
  // A map tilting the surface towards its +u (red 0.9) or -u (red 0.1).
  const auto tilted = [&](float red, int32_t set) {
    model.materials[0]->normalMap = Image(1, 1, {red, 0.5f, 0.6f, 1.0f});
    model.materials[0]->normalSlot.texCoord = set;
    return At(Drawn(model, 0, {}), kSize / 2, kSize / 2);
  };
  const Pixel towardsPlusX = tilted(0.9f, 0), towardsMinusX = tilted(0.1f, 0);
  ASSERT_GT(std::abs(towardsPlusX[0] - towardsMinusX[0]), 0.1f);
  const Pixel alongTheSecondSet = tilted(0.9f, 1);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(alongTheSecondSet[size_t(c)], towardsMinusX[size_t(c)], 0.02f) << c;
}

TEST_F(MaterialDrawing, NearestFilteringKeepsTexelsSharp) {
  RenderLib::ObjModel model;
  model.materials = {GlowingHalf()};
  model.groups = {Quad(-1.0f, 1.0f, 0)};
  // Just left of the middle, where the two texels meet, against the middle of the dark one.
  const auto edge = [&] {
    const std::vector<Pixel> pixels = Drawn(model, 0, {});
    return At(pixels, kSize / 2 - 1, kSize / 2)[0] - At(pixels, kSize / 4, kSize / 2)[0];
  };
  EXPECT_GT(edge(), 0.1f);
  model.materials[0]->emissiveSlot.magFilter = RenderLib::kFilterNearest;
  EXPECT_NEAR(edge(), 0.0f, 0.01f);
}

}  // namespace
}  // namespace Viewer
