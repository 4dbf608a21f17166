// The shader side of the environment light against the CPU's prepared record: an effect that
// takes in media/environment_light.glsl draws a function's value for every pixel, and the
// values must be what PrepareEnvironment and MakeBrdfTable computed.
#include "viewer/environment_light.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/renderlib/temporary_folder.h"
#include "tests/viewer/hidden_device.h"
#include "viewer/environment_brdf_table.h"
#include "viewer/environment_directions.h"

namespace Viewer {
namespace {

using Platform::Float3;

constexpr uint32_t kWidth = 16;
constexpr uint32_t kHeight = 8;

// Pixel (x, y) stands for picture position uv = ((x + 0.5) / width, (y + 0.5) / height), rows
// from the top: the equirect direction there, or (nDotV, roughness) = uv for the table.
const char kProbeEffect[] = R"(
shared "environment_light.glsl";
shared {
  uniform float g_fRoughness;
  vec3 Direction(vec2 uv) {
    float phi = (uv.x - 0.5) * 2.0 * kEnvironmentPi, theta = uv.y * kEnvironmentPi;
    return vec3(sin(theta) * sin(phi), cos(theta), -sin(theta) * cos(phi));
  }
}
vertex FullScreen {
  out vec2 uv;
  void main() {
    vec2 clip = vec2(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0);
    uv = vec2(0.5 + 0.5 * clip.x, 0.5 - 0.5 * clip.y);
    gl_Position = vec4(clip, 0.5, 1.0);
  }
}
fragment Diffuse { in vec2 uv; out vec4 color; void main() { color = vec4(EnvironmentDiffuse(Direction(uv)), 1.0); } }
fragment Specular {
  in vec2 uv;
  out vec4 color;
  void main() { color = vec4(EnvironmentSpecular(Direction(uv), g_fRoughness), 1.0); }
}
fragment Brdf { in vec2 uv; out vec4 color; void main() { color = vec4(EnvironmentBrdf(uv.x, uv.y), 0.0, 1.0); } }
fragment Light { in vec2 uv; out vec4 color; void main() { color = vec4(EnvironmentMainLightDirection(), 1.0); } }
state Plain { depth_test = off; depth_write = off; }
technique Diffuse { pass P0 { vertex = FullScreen; fragment = Diffuse; state = Plain; } }
technique Specular { pass P0 { vertex = FullScreen; fragment = Specular; state = Plain; } }
technique Brdf { pass P0 { vertex = FullScreen; fragment = Brdf; state = Plain; } }
technique Light { pass P0 { vertex = FullScreen; fragment = Light; state = Plain; } }
)";

std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class EnvironmentLightTest : public HiddenDevice {
protected:
  void SetUp() override {
    HiddenDevice::SetUp();
    folder.Write("environment_light.glsl", FileText(PATINEX_SOURCE_DIR "/media/environment_light.glsl"));
    const std::string path = folder.Write("probe.fx", kProbeEffect);
    std::string errors;
    ASSERT_EQ(Platform::CreateEffectFromFile(device.get(), path, &effect, &errors), Platform::kOk) << errors;
    ASSERT_TRUE(ReadRadianceMap(PATINEX_SOURCE_DIR "/media/environments/low_sun.hdr", &source, &errors)) << errors;
    prepared = PrepareEnvironment(source, nullptr);
    ASSERT_EQ(light.Upload(prepared, &errors), Platform::kOk) << errors;
    ASSERT_EQ(device->CreateRenderTarget(kWidth, kHeight, &target), Platform::kOk);
  }
  void TearDown() override {
    device->SetRenderTargets(device->BackBufferView(), device->DepthStencilBufferView());
    target.reset();
    effect.reset();
    light.Release();
    HiddenDevice::TearDown();
  }

  // The technique's picture, RGBA rows from the top.
  std::vector<float> Draw(const char* technique) {
    light.SetOn(*effect);
    device->SetRenderTargets(target->ColorView(), nullptr);
    device->SetViewport({0, 0, kWidth, kHeight, 0.0f, 1.0f});
    device->SetInputLayout(nullptr);
    device->SetPrimitiveTopology(Platform::PrimitiveTopology::TriangleList);
    EXPECT_EQ(effect->TechniqueByName(technique)->PassByIndex(0)->Apply(), Platform::kOk);
    device->Draw(3, 0);
    std::vector<float> rgba(size_t(kWidth) * kHeight * 4);
    EXPECT_EQ(device->ReadPixels(0, 0, kWidth, kHeight, rgba.data()), Platform::kOk);
    return rgba;
  }

  static Float3 At(const std::vector<float>& rgba, uint32_t x, uint32_t y) {
    const float* p = &rgba[(size_t(y) * kWidth + x) * 4];
    return {p[0], p[1], p[2]};
  }
  static Float3 DirectionOf(uint32_t x, uint32_t y) {
    return EquirectDirection((x + 0.5f) / kWidth, (y + 0.5f) / kHeight);
  }

  TemporaryFolder folder;
  std::unique_ptr<Platform::Effect> effect;
  std::unique_ptr<Platform::RenderTarget> target;
  RadianceMap source;
  PreparedEnvironment prepared;
  EnvironmentLight light;
};

void ExpectClose(Float3 got, Float3 want, float relative, float absolute, const std::string& where) {
  EXPECT_NEAR(got.x, want.x, want.x * relative + absolute) << where;
  EXPECT_NEAR(got.y, want.y, want.y * relative + absolute) << where;
  EXPECT_NEAR(got.z, want.z, want.z * relative + absolute) << where;
}

TEST_F(EnvironmentLightTest, ShaderDiffuseIsThePreparedIrradiance) {
  const std::vector<float> picture = Draw("Diffuse");
  for (uint32_t y = 0; y < kHeight; ++y) {
    for (uint32_t x = 0; x < kWidth; ++x) {
      ExpectClose(At(picture, x, y), EvaluateDiffuse(prepared, DirectionOf(x, y)), 1e-3f, 1e-4f,
                  std::to_string(x) + ", " + std::to_string(y));
    }
  }
}

// A roughness halfway between two levels blends them; on a level it is that level.
TEST_F(EnvironmentLightTest, ShaderSpecularReadsTheLevelOfItsRoughness) {
  for (uint32_t level : {2u, 4u}) {
    effect->VariableByName("g_fRoughness")->SetFloat(float(level) / float(kSpecularLevels - 1));
    const std::vector<float> picture = Draw("Specular");
    for (uint32_t y = 1; y + 1 < kHeight; ++y) {
      for (uint32_t x = 0; x < kWidth; ++x) {
        // Half floats on the device.
        ExpectClose(At(picture, x, y), SampleRadiance(prepared.specular[level], DirectionOf(x, y)), 0.01f, 1e-3f,
                    "level " + std::to_string(level) + " at " + std::to_string(x) + ", " + std::to_string(y));
      }
    }
  }
}

TEST_F(EnvironmentLightTest, ShaderBrdfReadsTheTableAndTheLightTurnsWithTheEnvironment) {
  const BrdfTable table = MakeBrdfTable(kBrdfTableSize);
  const std::vector<float> brdf = Draw("Brdf");
  for (uint32_t y = 0; y < kHeight; ++y) {
    for (uint32_t x = 0; x < kWidth; ++x) {
      // Each probe pixel's centre falls at the same place in the table's texels: between two
      // texels, so the shader's value is their mean along each axis.
      const uint32_t i = x * (kBrdfTableSize / kWidth) + kBrdfTableSize / kWidth / 2 - 1;
      const uint32_t j = y * (kBrdfTableSize / kHeight) + kBrdfTableSize / kHeight / 2 - 1;
      for (int c = 0; c < 2; ++c) {
        auto texel = [&](uint32_t a, uint32_t b) { return table.scaleBias[(size_t(b) * table.size + a) * 2 + c]; };
        const float want = 0.25f * (texel(i, j) + texel(i + 1, j) + texel(i, j + 1) + texel(i + 1, j + 1));
        EXPECT_NEAR(brdf[(size_t(y) * kWidth + x) * 4 + c], want, 0.01f * want + 1e-3f) << x << ", " << y;
      }
    }
  }

  light.SetRotation(0.5f);
  const Float3 turned = At(Draw("Light"), 0, 0);
  const Float3 l = prepared.mainLightDirection;
  // A positive turn takes +z towards +x.
  ExpectClose(turned, {std::cos(0.5f) * l.x + std::sin(0.5f) * l.z, l.y, -std::sin(0.5f) * l.x + std::cos(0.5f) * l.z},
              0.0f, 1e-5f, "main light");
}

}  // namespace
}  // namespace Viewer
