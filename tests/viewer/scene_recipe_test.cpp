// The one recipe for drawing a model, with stand-in effects that show what reached them: the
// camera's side, the lights, the factors, the masks and the material of each subset, and the
// points' colours through their layout.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "renderlib/obj_loader.h"
#include "renderlib/triangle_soup.h"
#include "tests/renderlib/temporary_folder.h"
#include "tests/viewer/hidden_device.h"
#include "viewer/scene_effects.h"

namespace Viewer {
namespace {

// Shaded shows the factors and the material (ShadedOwn likewise, with alpha 0.5 for the model's
// own material), Dirt and Rust their masks, Facing the normal's z and which side the lights stand
// on.
const char kMeshEffect[] = R"(
shared {
  uniform mat4 g_mWorld, g_mWorldViewProjection;
  uniform vec3 g_vLightPositionMain, g_vLightPositionFill;
  uniform vec4 BaseColorFactor;
  uniform float DirtFactor, RustFactor;
  uniform sampler2D DirtMask, RustMask;
}
vertex Mesh {
  in vec4 POSITION;
  in vec4 NORMAL;
  out vec3 normal;
  void main() {
    normal = (g_mWorld * vec4(NORMAL.xyz, 0.0)).xyz;
    gl_Position = g_mWorldViewProjection * (g_mWorld * vec4(POSITION.xyz, 1.0));
  }
}
fragment Factors { in vec3 normal; out vec4 c; void main() { c = vec4(DirtFactor, RustFactor, BaseColorFactor.r, 1); } }
fragment OwnFactors { in vec3 normal; out vec4 c; void main() { c = vec4(DirtFactor, RustFactor, BaseColorFactor.r, 0.5); } }
fragment Dirt { in vec3 normal; out vec4 c; void main() { c = texture(DirtMask, vec2(0.5)); } }
fragment Rust { in vec3 normal; out vec4 c; void main() { c = texture(RustMask, vec2(0.5)); } }
fragment Facing {
  in vec3 normal;
  out vec4 c;
  void main() { c = vec4(normalize(normal).z, step(0.0, g_vLightPositionMain.z), step(0.0, g_vLightPositionFill.x), 1); }
}
technique Shaded { pass P0 { vertex = Mesh; fragment = Factors; } }
technique ShadedOwn { pass P0 { vertex = Mesh; fragment = OwnFactors; } }
technique Dirt { pass P0 { vertex = Mesh; fragment = Dirt; } }
technique Rust { pass P0 { vertex = Mesh; fragment = Rust; } }
technique Facing { pass P0 { vertex = Mesh; fragment = Facing; } }
)";

const char kPointEffect[] = R"(
shared { uniform mat4 g_mWorld, g_mWorldViewProjection; }
vertex Point {
  in vec3 POSITION;
  in vec3 NORMAL;
  in vec4 COLOR;
  out vec4 pointColor;
  void main() {
    pointColor = vec4(COLOR.rgb, COLOR.a * NORMAL.y);
    gl_Position = g_mWorldViewProjection * (g_mWorld * vec4(POSITION, 1.0));
    gl_PointSize = 9.0;
  }
}
fragment Plain { in vec4 pointColor; out vec4 c; void main() { c = pointColor; } }
technique PointColor { pass P0 { vertex = Point; fragment = Plain; } }
)";

constexpr uint32_t kSize = 64;
using Pixel = std::array<float, 4>;

// Draws the shipped sphere (centred at the origin, radius 1) from the program's starting camera
// into a target cleared to black.
class SceneRecipe : public HiddenDevice {
protected:
  void SetUp() override {
    HiddenDevice::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(device->CreateRenderTarget(kSize, kSize, &target), Platform::kOk);
    std::unique_ptr<RenderLib::ObjModel> model = RenderLib::LoadObj(PATINEX_SOURCE_DIR "/media/sphere.obj");
    ASSERT_NE(model, nullptr);
    bounds = BoundsOfBox(RenderLib::TriangleSoup(*model).GetBoundingBox());
    camera = FixedCamera(StartingCamera(bounds), Platform::MatrixIdentity(), kSize, kSize);
    model->materials[0]->metallicRoughness = true;
    model->materials[0]->baseColorFactor[0] = 0.5f;
    mesh = CreateDeviceMesh(device.get(), model.get());
    ASSERT_NE(mesh, nullptr);
  }
  void TearDown() override {
    mesh.reset();
    target.reset();
    HiddenDevice::TearDown();
  }

  template <class Draw>
  Pixel Drawn(Draw draw, int x = kSize / 2, int y = kSize / 2) {
    device->SetRenderTargets(target->ColorView(), target->DepthView());
    device->SetViewport({0, 0, kSize, kSize, 0.0f, 1.0f});
    const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    device->ClearRenderTargetView(target->ColorView(), black);
    device->ClearDepthStencilView(target->DepthView(), 1.0f);
    draw();
    Pixel pixel{};
    EXPECT_EQ(device->ReadPixels(x, y, 1, 1, pixel.data()), Platform::kOk);
    device->SetRenderTargets(device->BackBufferView(), device->DepthStencilBufferView());
    return pixel;
  }

  std::unique_ptr<Platform::ShaderResourceView> Grey(float value) {
    const float rgba[4] = {value, value, value, 1.0f};
    std::unique_ptr<Platform::ShaderResourceView> view;
    EXPECT_EQ(device->CreateTextureFromFloatRGBA(1, 1, rgba, &view), Platform::kOk);
    return view;
  }

  TemporaryFolder media;
  std::unique_ptr<Platform::RenderTarget> target;
  std::unique_ptr<DeviceMesh> mesh;
  ModelBounds bounds;
  CameraMatrices camera;
};

TEST_F(SceneRecipe, EffectsThatDoNotLoadSaySoAndDrawNothing) {
  MeshEffect meshEffect;
  PointEffect pointEffect;
  std::string problems;
  EXPECT_EQ(meshEffect.Load(*device, "", &problems), Platform::kFileNotFound);
  media.Write("drawparticles.fx", "technique PointColor {");
  EXPECT_TRUE(Platform::Failed(pointEffect.Load(*device, media.Path(), &problems)));
  EXPECT_NE(problems.find("drawmesh.fx"), std::string::npos) << problems;
  EXPECT_NE(problems.find(media.Path("drawparticles.fx")), std::string::npos) << problems;

  const Pixel none{};
  EXPECT_EQ(Drawn([&] { meshEffect.Draw(*mesh, meshEffect.ViewTechnique(0), camera, {}); }), none);
  std::unique_ptr<Platform::Buffer> points;
  const PointVertex point = {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 1.0f, 1.0f, 1.0f}};
  ASSERT_EQ(device->CreateVertexBuffer(sizeof point, &point, false, &points), Platform::kOk);
  EXPECT_EQ(Drawn([&] { pointEffect.Draw(points.get(), 1, camera); }), none);
}

TEST_F(SceneRecipe, DrawsTheModelFromItsFrontWithTheMasksFactorsAndMaterialOfEachView) {
  media.Write("drawmesh.fx", kMeshEffect);
  MeshEffect effect;
  std::string problems;
  ASSERT_EQ(effect.Load(*device, media.Path(), &problems), Platform::kOk) << problems;
  for (const char* texture : {"tex_base.jpg", "tex_base_NRM.jpg", "tex_patina.jpg", "tex_patina_NRM.jpg"}) {
    EXPECT_NE(problems.find(texture), std::string::npos) << texture << " is not named as missing:\n" << problems;
  }
  effect.PlaceLights(bounds);
  const auto white = Grey(1.0f), black = Grey(0.0f);
  Platform::ShaderResourceView* const rust[] = {black.get()};
  Platform::ShaderResourceView* const dirt[] = {white.get()};
  const PatinaMasks masks = {rust, dirt, {}, 0.75f, 0.25f};

  // The eye looks at the side the model faces (+z), the main light on that side, the fill right.
  const Pixel facing = Drawn([&] { effect.Draw(*mesh, effect.TechniqueByName("Facing"), camera, masks); });
  EXPECT_GT(facing[0], 0.95f);
  EXPECT_EQ(facing[1], 1.0f);
  EXPECT_EQ(facing[2], 1.0f);
  EXPECT_EQ(Drawn([&] { effect.Draw(*mesh, effect.TechniqueByName("Facing"), camera, masks); }, 0, 0), Pixel{});

  // The model's own material is drawn with the Shaded technique's twin.
  const Pixel shaded = Drawn([&] { effect.Draw(*mesh, effect.ViewTechnique(0), camera, masks); });
  EXPECT_FLOAT_EQ(shaded[0], 0.25f);  // dirt factor
  EXPECT_FLOAT_EQ(shaded[1], 0.75f);  // rust factor
  EXPECT_NEAR(shaded[2], 0.5f, 0.01f);  // the subset's material
  EXPECT_EQ(shaded[3], 0.5f);
  EXPECT_EQ(Drawn([&] { effect.Draw(*mesh, effect.ViewTechnique(1), camera, masks); }), (Pixel{1, 1, 1, 1}));
  EXPECT_EQ(Drawn([&] { effect.Draw(*mesh, effect.ViewTechnique(2), camera, masks); }), (Pixel{0, 0, 0, 1}));
  EXPECT_EQ(effect.ViewTechnique(3), nullptr);

  // A material that is not the model's own takes the technique itself, and is given it.
  std::vector<DeviceMaterial>& materials = mesh->Materials();
  effect.AssignMaterialTechniques(*mesh);
  EXPECT_EQ(materials[0].technique, effect.TechniqueByName("ShadedOwn"));
  materials[0].ownMaterial = false;
  EXPECT_EQ(Drawn([&] { effect.Draw(*mesh, effect.ViewTechnique(0), camera, masks); })[3], 1.0f);
  effect.AssignMaterialTechniques(*mesh);
  EXPECT_EQ(materials[0].technique, effect.ViewTechnique(0));
}

TEST_F(SceneRecipe, MaskViewsShowTheMasksAnExportCarriesWhereTheRunGivesNone) {
  media.Write("drawmesh.fx", kMeshEffect);
  MeshEffect effect;
  std::string problems;
  ASSERT_EQ(effect.Load(*device, media.Path(), &problems), Platform::kOk) << problems;
  mesh->Materials()[0].dirtMaskView = Grey(1.0f);
  const auto black = Grey(0.0f);
  Platform::ShaderResourceView* const blackDirt[] = {black.get()};
  const Pixel white{1, 1, 1, 1}, none{0, 0, 0, 1};
  EXPECT_EQ(Drawn([&] { effect.Draw(*mesh, effect.ViewTechnique(1), camera, {}); }), white);
  EXPECT_EQ(Drawn([&] { effect.Draw(*mesh, effect.ViewTechnique(1), camera, {{}, blackDirt, {}}); }), none);
  EXPECT_EQ(Drawn([&] { effect.Draw(*mesh, effect.ViewTechnique(2), camera, {}); }), none);
}

TEST_F(SceneRecipe, PointsKeepTheirPositionsNormalsAndColoursThroughTheLayout) {
  media.Write("drawparticles.fx", kPointEffect);
  PointEffect effect;
  std::string problems;
  ASSERT_EQ(effect.Load(*device, media.Path(), &problems), Platform::kOk) << problems;
  // The second point shows whether the stride is right: it sits above the first on the screen.
  // The stand-in effect writes the normal's y as the alpha.
  const PointVertex points[2] = {{{0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.25f, 0.5f, 0.75f, 1.0f}},
                                 {{0.0f, 0.5f, 0.0f}, {0.0f, 0.5f, 0.0f}, {1.0f, 0.0f, 0.5f, 1.0f}}};
  std::unique_ptr<Platform::Buffer> buffer;
  ASSERT_EQ(device->CreateVertexBuffer(sizeof points, points, false, &buffer), Platform::kOk);
  const Platform::Float3 above = Platform::Vec3TransformCoord({0.0f, 0.5f, 0.0f}, camera.viewProjection);
  const int aboveRow = int((1.0f - above.y) * 0.5f * float(kSize));
  EXPECT_LT(aboveRow, int(kSize / 2) - 8);
  EXPECT_EQ(Drawn([&] { effect.Draw(buffer.get(), 2, camera); }), (Pixel{0.25f, 0.5f, 0.75f, 1.0f}));
  EXPECT_EQ(Drawn([&] { effect.Draw(buffer.get(), 2, camera); }, kSize / 2, aboveRow), (Pixel{1.0f, 0.0f, 0.5f, 0.5f}));
}

TEST_F(SceneRecipe, TheShippedPointEffectLightsAPointFacingTheMainLightAndDimsOneFacingAway) {
  PointEffect effect;
  std::string problems;
  ASSERT_EQ(effect.Load(*device, PATINEX_SOURCE_DIR "/media", &problems), Platform::kOk) << problems;
  effect.PlaceLights(bounds);
  const Lights lights = LightsAround(bounds);
  const Platform::Float3 towardsLight =
      Platform::Vec3Normalize({lights.main[0], lights.main[1], lights.main[2]});
  const auto drawnWithNormal = [&](Platform::Float3 n) {
    const PointVertex point = {{0.0f, 0.0f, 0.0f}, {n.x, n.y, n.z}, {0.0f, 0.0f, 0.0f, 1.0f}};
    std::unique_ptr<Platform::Buffer> buffer;
    EXPECT_EQ(device->CreateVertexBuffer(sizeof point, &point, false, &buffer), Platform::kOk);
    return Drawn([&] { effect.Draw(buffer.get(), 1, camera); });
  };
  const Pixel lit = drawnWithNormal(towardsLight);
  const Pixel away = drawnWithNormal(-towardsLight);
  // Same colour, same place: only the normal tells them apart. Facing away keeps some ambient.
  EXPECT_GT(away[0], 0.0f);
  EXPECT_GT(lit[0], 2.5f * away[0]);
  EXPECT_GT(lit[1], 2.5f * away[1]);
}

}  // namespace
}  // namespace Viewer
