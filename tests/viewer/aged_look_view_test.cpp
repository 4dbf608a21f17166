// The Shaded view and the export's bake compose the aged material by the same rules: a square is
// drawn with uniform textures and masks through the effect's debug techniques and compared with
// the processor's evaluation, as the bake makes it, of the same look at the same point.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "assetexport/aged_look.h"
#include "assetexport/look_file.h"
#include "assetexport/surface_frames.h"
#include "imagelib/jpeg_writer.h"
#include "renderlib/obj_loader.h"
#include "renderlib/triangle_soup.h"
#include "shipped_media/shipped_files.h"
#include "tests/renderlib/temporary_folder.h"
#include "tests/viewer/hidden_device.h"
#include "viewer/environment_light.h"
#include "viewer/environment_preparation.h"
#include "viewer/scene_effects.h"

namespace Viewer {
namespace {

using RenderLib::Vector3;
namespace AgedLook = AssetExport::AgedLook;

constexpr uint32_t kSize = 64;
using Pixel = std::array<float, 4>;
using Texel = std::array<uint8_t, 3>;

float Decode(float c) { return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f); }
float Encode(float c) { return c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f; }

class AgedLookView : public HiddenDevice {
protected:
  void SetUp() override {
    HiddenDevice::SetUp();
    if (HasFatalFailure()) return;
    for (const char* name : {"drawmesh.fx", "aged_look.glsl", "environment_light.glsl"}) {
      std::filesystem::copy_file(std::string(PATINEX_SOURCE_DIR "/media/") + name, media.Path(name));
    }
    // One colour each, so that whichever side of the projection a pixel reads gives the same.
    const Texel textures[4] = {{150, 100, 60}, {170, 100, 230}, {90, 160, 120}, {60, 190, 210}};
    for (int i = 0; i < 4; ++i) shipped[i] = Uniform(ShippedMedia::kMaterialTextures[i], textures[i]);
    ASSERT_EQ(device->CreateRenderTarget(kSize, kSize, &target), Platform::kOk);
    std::string problems;
    ASSERT_EQ(effect.Load(*device, media.Path(), &problems), Platform::kOk) << problems;
    EXPECT_EQ(problems, "");
    // Even grey light from everywhere, no main light.
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

  // Writes a one-colour picture and gives back the texel its decoding gives, as the device reads it.
  Vector3 Uniform(const char* name, const Texel& rgb) {
    const std::vector<Texel> pixels(16, rgb);
    EXPECT_TRUE(ImageLib::WriteJpegFile(media.Path(name).c_str(), pixels[0].data(), 4, 4, 100));
    RenderLib::ImageHandle image(new RenderLib::RefCountedImage());
    EXPECT_TRUE(image->Load(media.Path(name).c_str())) << name;
    if (!image->valid) return Vector3();
    return Vector3(image->samples[0], image->samples[1], image->samples[2]);
  }

  std::unique_ptr<Platform::ShaderResourceView> Grey(float value) {
    const float rgba[4] = {value, value, value, 1.0f};
    std::unique_ptr<Platform::ShaderResourceView> view;
    EXPECT_EQ(device->CreateTextureFromFloatRGBA(1, 1, rgba, &view), Platform::kOk);
    return view;
  }

  // The square of side 2 facing +z with its texture mirrored left to right (u grows along -x),
  // so that its frames are left-handed, drawn into the middle of the target.
  std::unique_ptr<RenderLib::ObjModel> MirroredSquare() {
    const std::string path = media.Write("square.obj",
                                         "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n"
                                         "vt 0.75 0.25\nvt 0.25 0.25\nvt 0.25 0.75\nvt 0.75 0.75\nvn 0 0 1\n"
                                         "f 1/1/1 2/2/1 3/3/1\nf 1/1/1 3/3/1 4/4/1\n");
    return RenderLib::LoadObj(path.c_str(), nullptr);
  }

  Pixel Drawn(RenderLib::ObjModel& model, const char* technique, const PatinaMasks& masks) {
    std::unique_ptr<DeviceMesh> mesh = CreateDeviceMesh(device.get(), &model);
    EXPECT_NE(mesh, nullptr);
    if (mesh == nullptr) return {};
    const ModelBounds bounds = BoundsOfBox(RenderLib::TriangleSoup(model).GetBoundingBox());
    const CameraMatrices camera = FixedCamera(StartingCamera(bounds), Platform::MatrixIdentity(), kSize, kSize);
    device->SetRenderTargets(target->ColorView(), target->DepthView());
    device->SetViewport({0, 0, kSize, kSize, 0.0f, 1.0f});
    const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    device->ClearRenderTargetView(target->ColorView(), black);
    device->ClearDepthStencilView(target->DepthView(), 1.0f);
    effect.Draw(*mesh, effect.TechniqueByName(technique), camera, masks);
    Pixel pixel{};
    EXPECT_EQ(device->ReadPixels(kSize / 2, kSize / 2, 1, 1, pixel.data()), Platform::kOk);
    device->SetRenderTargets(device->BackBufferView(), device->DepthStencilBufferView());
    return pixel;
  }

  // Draws both debug techniques and checks them against the bake's composition of the shipped
  // bronze over base.
  void ExpectTheBakesLook(RenderLib::ObjModel& model, const AgedLook::BaseLook& base) {
    const float patina = AgedLook::PatinaCover(kMask[0], kFactor[0]);
    const float dirtCover = AgedLook::DirtCover(kMask[1], kFactor[1]);
    ASSERT_GT(patina, 0.2f);
    ASSERT_LT(patina, 0.8f);
    ExpectDrawn(model, AgedLook::AgeMaterial(kNormal, base, shipped[2],
                                             AgedLook::SideSlope(2, shipped[3].x, shipped[3].y), patina, dirtCover,
                                             AgedLook::kWindowDirtColor, AgedLook::kWindowBump));
  }

  // Each texture of a look's surfaces replaced by a one-colour file (a colour a surface), so that
  // the square's centre reads it whichever side it picks.
  void Uniformly(AssetExport::Look* look) {
    uint8_t shade = 40;
    auto replace = [&](std::string* texture) {
      if (texture->empty()) return;
      // Named apart from the shipped files the fixture wrote.
      const std::string name = std::filesystem::path(*texture).stem().string() + "_uniform.jpg";
      *texture = media.Path(name);
      written[*texture] = Uniform(name.c_str(), {uint8_t(shade + 90), uint8_t(shade + 40), shade});
      shade = uint8_t(shade + 25);
    };
    replace(&look->base.texture);
    replace(&look->base.normalTexture);
    for (AssetExport::LookLayer& layer : look->layers) {
      replace(&layer.surface.texture);
      replace(&layer.surface.normalTexture);
    }
  }

  // A look's surface at the square's centre (the z side) as the bake samples it: a texture that
  // was not written reads white, a normal map flat.
  AgedLook::BaseLook SurfaceAt(const AssetExport::LookSurface& surface) const {
    const auto color = written.find(surface.texture), normal = written.find(surface.normalTexture);
    const Vector3 texel = color != written.end() ? color->second : Vector3(1.0f, 1.0f, 1.0f);
    const Vector3 slope = normal != written.end() ? AgedLook::SideSlope(2, normal->second.x, normal->second.y)
                                                  : Vector3(0.0f, 0.0f, 0.0f);
    return {Vector3(texel.x * surface.color[0], texel.y * surface.color[1], texel.z * surface.color[2]),
            slope * surface.normalStrength, surface.metallic, surface.roughness};
  }

  // The look at the square's centre under the masks' texels, layer by layer as the bake applies
  // them; every layer must cover in part, or the check would not see it.
  AgedLook::AgedMaterial BakedAt(const AssetExport::Look& look) const {
    AgedLook::BaseLook layered = SurfaceAt(look.base);
    for (const AssetExport::LookLayer& layer : look.layers) {
      const size_t mask = size_t(layer.mask);
      const float cover = AgedLook::LayerCover(kMask[mask], kFactor[mask], layer);
      EXPECT_GT(cover, 0.1f);
      EXPECT_LT(cover, 0.95f);
      const AgedLook::BaseLook own = SurfaceAt(layer.surface);
      layered = AgedLook::ApplyLayer(layered, layer, own.color, own.slope, cover);
    }
    return AgedLook::FinishLook(kNormal, layered, AgedLook::kWindowBump);
  }

  // Draws both debug techniques under the masks' texels and compares them with expected.
  void ExpectDrawn(RenderLib::ObjModel& model, const AgedLook::AgedMaterial& expected) {
    const auto rust = Grey(kMask[0]), dirt = Grey(kMask[1]), humidity = Grey(kMask[2]);
    Platform::ShaderResourceView* const rustViews[] = {rust.get()};
    Platform::ShaderResourceView* const dirtViews[] = {dirt.get()};
    Platform::ShaderResourceView* const humidityViews[] = {humidity.get()};
    const PatinaMasks masks = {rustViews, dirtViews, {}, kFactor[0], kFactor[1], humidityViews, kFactor[2]};
    const Pixel colorMetallic = Drawn(model, "AgedColorMetallic", masks);
    EXPECT_NEAR(colorMetallic[0], expected.color.x, 2e-3f);
    EXPECT_NEAR(colorMetallic[1], expected.color.y, 2e-3f);
    EXPECT_NEAR(colorMetallic[2], expected.color.z, 2e-3f);
    EXPECT_NEAR(colorMetallic[3], expected.metallic, 1e-3f);
    const Pixel normalRoughness = Drawn(model, "AgedNormalRoughness", masks);
    EXPECT_NEAR(normalRoughness[0], expected.normal.x, 2e-3f);
    EXPECT_NEAR(normalRoughness[1], expected.normal.y, 2e-3f);
    EXPECT_NEAR(normalRoughness[2], expected.normal.z, 2e-3f);
    EXPECT_NEAR(normalRoughness[3], expected.roughness, 1e-3f);
  }

  // The rust, dirt and humidity texels drawn, and how much of each shows.
  static constexpr float kMask[3] = {0.05f, 0.08f, 0.75f};
  static constexpr float kFactor[3] = {0.9f, 0.7f, 0.8f};
  const Vector3 kNormal{0.0f, 0.0f, 1.0f};

  TemporaryFolder media;
  std::map<std::string, Vector3> written;  // the one-colour textures by path, as the device reads them
  Vector3 shipped[4];  // bronze, its normal map, patina, its normal map
  EnvironmentLight light;
  MeshEffect effect;
  std::unique_ptr<Platform::RenderTarget> target;
};

TEST_F(AgedLookView, ShowsTheBakesLookOverTheShippedBronze) {
  std::unique_ptr<RenderLib::ObjModel> square = MirroredSquare();
  ASSERT_NE(square, nullptr);
  const AgedLook::BaseLook bronze{shipped[0], AgedLook::BronzeSlope(AgedLook::SideSlope(2, shipped[1].x, shipped[1].y)),
                                  AgedLook::BronzeMetallic(), AgedLook::BronzeRoughness()};
  ExpectTheBakesLook(*square, bronze);
}

TEST_F(AgedLookView, ShowsTheBakesLookOverTheModelsOwnMaterialInItsMirroredFrame) {
  std::unique_ptr<RenderLib::ObjModel> square = MirroredSquare();
  ASSERT_NE(square, nullptr);
  RenderLib::MaterialHandle handle(new RenderLib::Material());
  RenderLib::Material& own = *handle;
  own.metallicRoughness = true;
  const float factor[4] = {0.9f, 0.6f, 0.8f, 1.0f};
  for (int c = 0; c < 4; ++c) own.baseColorFactor[c] = factor[c];
  own.metallicFactor = 0.8f;
  own.roughnessFactor = 0.5f;
  own.normalScale = 0.7f;
  const Vector3 color = Uniform("color.jpg", {200, 120, 60});
  const Vector3 metalRough = Uniform("metal_rough.jpg", {255, 140, 200});
  const Vector3 tilt = Uniform("normal.jpg", {200, 90, 220});
  own.diffuseMap = RenderLib::ImageHandle(new RenderLib::RefCountedImage());
  own.metallicRoughnessMap = RenderLib::ImageHandle(new RenderLib::RefCountedImage());
  own.normalMap = RenderLib::ImageHandle(new RenderLib::RefCountedImage());
  ASSERT_TRUE(own.diffuseMap->Load(media.Path("color.jpg").c_str()));
  ASSERT_TRUE(own.metallicRoughnessMap->Load(media.Path("metal_rough.jpg").c_str()));
  ASSERT_TRUE(own.normalMap->Load(media.Path("normal.jpg").c_str()));
  square->materials.push_back(handle);
  square->groups[0].materialIndex = 0;

  // The bake's frame: the loader's tangent, the bitangent turned by the mirrored chart.
  const AssetExport::SurfaceFrame frame = AssetExport::ComputeSurfaceFrames(square->groups[0])[0];
  ASSERT_LT(frame.handedness, 0.0f);
  const Vector3 bitangent = Cross(frame.normal, frame.tangent) * frame.handedness;
  const AgedLook::BaseLook base{
      Vector3(Encode(Decode(color.x) * factor[0]), Encode(Decode(color.y) * factor[1]),
              Encode(Decode(color.z) * factor[2])),
      AgedLook::TangentSlope(frame.tangent, bitangent, tilt.x, tilt.y, tilt.z, own.normalScale),
      own.metallicFactor * metalRough.z, own.roughnessFactor * metalRough.y};
  ExpectTheBakesLook(*square, base);
}

TEST_F(AgedLookView, ShowsTheBakesLookOfShippedLooksWithTexturesAndHumidityAndGoesBackToBronze) {
  std::unique_ptr<RenderLib::ObjModel> square = MirroredSquare();
  ASSERT_NE(square, nullptr);
  for (const char* name : {"iron", "stone"}) {
    SCOPED_TRACE(name);
    AssetExport::Look look;
    std::string error;
    ASSERT_TRUE(AssetExport::ReadLookFile(std::string(PATINEX_SOURCE_DIR "/media/looks/") + name + ".json", &look,
                                          &error))
        << error;
    Uniformly(&look);
    // The shipped layers' relief is at strength 1, which would hide a strength left out.
    for (AssetExport::LookLayer& layer : look.layers) layer.surface.normalStrength *= 0.6f;
    std::string problems;
    EXPECT_EQ(effect.UseLook(look, &problems), Platform::kOk);
    EXPECT_EQ(problems, "");
    ExpectDrawn(*square, BakedAt(look));
  }
  ASSERT_TRUE(AssetExport::BronzeLook().Uses(AssetExport::LookMask::kRust));
  std::string problems;
  EXPECT_EQ(effect.UseLook(AssetExport::BronzeLook(), &problems), Platform::kOk) << problems;
  ExpectTheBakesLook(*square, {shipped[0], AgedLook::BronzeSlope(AgedLook::SideSlope(2, shipped[1].x, shipped[1].y)),
                               AgedLook::BronzeMetallic(), AgedLook::BronzeRoughness()});
}

TEST_F(AgedLookView, ALookWhoseTextureDoesNotLoadIsShownWithoutItAndSaysSo) {
  std::unique_ptr<RenderLib::ObjModel> square = MirroredSquare();
  ASSERT_NE(square, nullptr);
  AssetExport::Look look;
  std::string error;
  ASSERT_TRUE(AssetExport::ReadLookFile(PATINEX_SOURCE_DIR "/media/looks/iron.json", &look, &error)) << error;
  Uniformly(&look);
  ASSERT_FALSE(look.layers[0].surface.texture.empty());
  look.layers[0].surface.texture = media.Path("no_such_rust.jpg");
  std::string problems;
  EXPECT_NE(effect.UseLook(look, &problems), Platform::kOk);
  EXPECT_NE(problems.find("no_such_rust.jpg"), std::string::npos) << problems;
  ExpectDrawn(*square, BakedAt(look));
}

TEST_F(AgedLookView, ATexturedModelShowsItsOwnColoursLit) {
  std::unique_ptr<RenderLib::ObjModel> square = MirroredSquare();
  ASSERT_NE(square, nullptr);
  const PatinaMasks clean = {};
  const Pixel bronze = Drawn(*square, "Shaded", clean);

  RenderLib::MaterialHandle handle(new RenderLib::Material());
  handle->metallicRoughness = true;
  handle->metallicFactor = 0.0f;
  handle->roughnessFactor = 0.6f;
  Uniform("red.jpg", {220, 20, 20});
  handle->diffuseMap = RenderLib::ImageHandle(new RenderLib::RefCountedImage());
  ASSERT_TRUE(handle->diffuseMap->Load(media.Path("red.jpg").c_str()));
  square->materials.push_back(handle);
  square->groups[0].materialIndex = 0;
  const Pixel red = Drawn(*square, "Shaded", clean);

  // Red, and lit: neither black nor burnt out to white.
  EXPECT_GT(red[0], 0.25f);
  EXPECT_LT(red[0], 0.99f);
  EXPECT_GT(red[0], 3.0f * red[1]);
  EXPECT_GT(red[0], 3.0f * red[2]);
  // The shipped bronze in its place is a warm metal, not red.
  EXPECT_GT(bronze[0], 0.05f);
  EXPECT_LT(bronze[0], 2.0f * bronze[1]);
}

}  // namespace
}  // namespace Viewer
