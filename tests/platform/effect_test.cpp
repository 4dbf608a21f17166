#include "platform/effect.h"

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <string>

#include "platform/gl_effect.h"
#include "tests/platform/offscreen_gl_context.h"

namespace Platform {
namespace {

constexpr int kSize = 16;

// Draws into a float colour target of its own, so reads are exact and need no visible window.
class EffectTest : public ::testing::Test {
protected:
  void SetUp() override {
    glGenFramebuffers(1, &framebuffer);
    glGenRenderbuffers(1, &colorBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, colorBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA32F, kSize, kSize);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorBuffer);
    ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    glViewport(0, 0, kSize, kSize);
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    Clear();
  }

  void TearDown() override {
    glDeleteVertexArrays(1, &vertexArray);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteRenderbuffers(1, &colorBuffer);
  }

  static void Clear() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
  }

  static std::array<float, 4> Pixel(int x, int y) {
    std::array<float, 4> rgba{};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_FLOAT, rgba.data());
    return rgba;
  }

  std::unique_ptr<Effect> Load(const std::string& text) {
    std::unique_ptr<Effect> effect;
    std::string errors;
    EXPECT_EQ(CreateEffectFromMemory(nullptr, text, "test.fx", &effect, &errors), kOk) << errors;
    return effect;
  }

  OffscreenGlContext context;
  GLuint framebuffer = 0;
  GLuint colorBuffer = 0;
  GLuint vertexArray = 0;
};

// A triangle that covers the whole target, from gl_VertexID alone.
const std::string kFullScreen = R"(
vertex FullScreen {
  void main() {
    gl_Position = vec4(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0, 0.0, 1.0);
  }
}
)";

const std::string kColorEffect = "shared {\n  uniform vec4 g_vColor;\n  uniform vec4 g_vTint = vec4(0.5, 0.25, 0.125, 1.0);\n}\n" +
                                 kFullScreen + R"(
fragment Solid {
  out vec4 color;
  void main() { color = g_vColor; }
}
fragment Tinted {
  out vec4 color;
  void main() { color = g_vColor * g_vTint; }
}
state UIBlend { blend = src_alpha one_minus_src_alpha, one zero; }
state DisableDepth { depth_test = off; depth_write = off; }
technique Solid {
  pass P0 { vertex = FullScreen; fragment = Solid; state = UIBlend DisableDepth; cull = front; }
}
technique Tinted {
  pass P0 { vertex = FullScreen; fragment = Tinted; }
}
)";

TEST_F(EffectTest, VariableValuesReachEveryPassAndSurviveBetweenThem) {
  std::unique_ptr<Effect> effect = Load(kColorEffect);
  ASSERT_TRUE(effect);
  EXPECT_EQ(effect->TechniqueCount(), 2u);
  EffectVariable* color = effect->VariableByName("g_vColor");
  ASSERT_TRUE(color->IsValid());
  // Set before any pass was applied; four floats given to a vec4.
  const float green[4] = {0.0f, 1.0f, 0.0f, 1.0f};
  ASSERT_EQ(color->SetFloatVector(green, 4), kOk);

  EffectPass* solid = effect->TechniqueByName("Solid")->PassByIndex(0);
  EffectPass* tinted = effect->TechniqueByName("Tinted")->PassByIndex(0);
  ASSERT_EQ(solid->Apply(), kOk);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  EXPECT_EQ(Pixel(5, 9), (std::array<float, 4>{0.0f, 1.0f, 0.0f, 1.0f}));

  // The other program gets the same value, and the tint keeps its GLSL initial value.
  ASSERT_EQ(tinted->Apply(), kOk);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  EXPECT_EQ(Pixel(5, 9), (std::array<float, 4>{0.0f, 0.25f, 0.0f, 1.0f}));

  // A change made after the first program saw the old value reaches it on the next apply.
  const float white[3] = {1.0f, 1.0f, 1.0f};
  ASSERT_EQ(color->SetFloatVector(white, 3), kOk);
  ASSERT_EQ(tinted->Apply(), kOk);
  ASSERT_EQ(solid->Apply(), kOk);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  // Blending src_alpha over the green left by the tinted pass is a plain replacement at alpha 1.
  EXPECT_EQ(Pixel(5, 9), (std::array<float, 4>{1.0f, 1.0f, 1.0f, 1.0f}));
}

TEST_F(EffectTest, PassAppliesItsRenderState) {
  std::unique_ptr<Effect> effect = Load(kColorEffect);
  ASSERT_TRUE(effect);
  ASSERT_EQ(effect->TechniqueByName("Solid")->PassByIndex(0)->Apply(), kOk);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  GLint value = 0;
  glGetIntegerv(GL_BLEND_SRC_RGB, &value);
  EXPECT_EQ(value, GL_SRC_ALPHA);
  glGetIntegerv(GL_BLEND_DST_RGB, &value);
  EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
  glGetIntegerv(GL_BLEND_SRC_ALPHA, &value);
  EXPECT_EQ(value, GL_ONE);
  glGetIntegerv(GL_BLEND_DST_ALPHA, &value);
  EXPECT_EQ(value, GL_ZERO);
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  GLboolean depthWrite = GL_TRUE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrite);
  EXPECT_EQ(depthWrite, GL_FALSE);
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  glGetIntegerv(GL_CULL_FACE_MODE, &value);
  EXPECT_EQ(value, GL_FRONT);
  glGetIntegerv(GL_FRONT_FACE, &value);
  EXPECT_EQ(value, GL_CW);

  // A pass that names nothing gets the defaults back, not what the last pass left.
  ASSERT_EQ(effect->TechniqueByName("Tinted")->PassByIndex(0)->Apply(), kOk);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  glGetIntegerv(GL_DEPTH_FUNC, &value);
  EXPECT_EQ(value, GL_LESS);
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
}

TEST_F(EffectTest, TextureBoundThroughSetResourceIsSampled) {
  std::unique_ptr<Effect> effect = Load("shared {\n  uniform sampler2D g_Unused;\n  uniform sampler2D g_Texture;\n}\n" +
                                        kFullScreen + R"(
fragment Sample {
  out vec4 color;
  void main() { color = texture(g_Texture, vec2(0.5)); }
}
technique T { pass P { vertex = FullScreen; fragment = Sample; } }
)");
  ASSERT_TRUE(effect);
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  const float texel[4] = {0.25f, 0.5f, 0.75f, 1.0f};
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, 1, 1, 0, GL_RGBA, GL_FLOAT, texel);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glBindTexture(GL_TEXTURE_2D, 0);
  ShaderResourceView view(name, 1, 1, Format::R32G32B32A32_FLOAT);

  EffectVariable* texture = effect->VariableByName("g_Texture");
  ASSERT_EQ(texture->SetResource(&view), kOk);
  EffectPass* pass = effect->TechniqueByName("T")->PassByIndex(0);
  ASSERT_EQ(pass->Apply(), kOk);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  EXPECT_EQ(Pixel(3, 3), (std::array<float, 4>{0.25f, 0.5f, 0.75f, 1.0f}));

  // Unbound, the shader reads 0, 0, 0, 1.
  ASSERT_EQ(texture->SetResource(nullptr), kOk);
  ASSERT_EQ(pass->Apply(), kOk);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  EXPECT_EQ(Pixel(3, 3), (std::array<float, 4>{0.0f, 0.0f, 0.0f, 1.0f}));
}

TEST_F(EffectTest, RowVectorTranslationMovesGeometryWhenShadersWriteMatrixTimesVector) {
  std::unique_ptr<Effect> effect = Load(R"(
shared { uniform mat4 g_mWorld; }
vertex LeftHalf {
  const vec2 corners[6] = vec2[6](vec2(-1, -1), vec2(0, -1), vec2(0, 1), vec2(-1, -1), vec2(0, 1), vec2(-1, 1));
  void main() { gl_Position = g_mWorld * vec4(corners[gl_VertexID], 0.0, 1.0); }
}
fragment White { out vec4 color; void main() { color = vec4(1.0); } }
technique T { pass P { vertex = LeftHalf; fragment = White; depth_test = off; } }
)");
  ASSERT_TRUE(effect);
  // Row-vector convention: translation by (1, 0, 0) sits in row 3.
  const float translation[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 1};
  ASSERT_EQ(effect->VariableByName("g_mWorld")->SetMatrix(translation), kOk);
  ASSERT_EQ(effect->TechniqueByName("T")->PassByIndex(0)->Apply(), kOk);
  glDrawArrays(GL_TRIANGLES, 0, 6);
  EXPECT_EQ(Pixel(3, 8)[0], 0.0f);
  EXPECT_EQ(Pixel(12, 8)[0], 1.0f);
}

TEST_F(EffectTest, DepthRemapTurnsZeroToOneClipDepthIntoGlDepth) {
  const std::string text = kFullScreen + R"(
fragment Depth { out vec4 color; void main() { color = vec4(gl_FragCoord.z); } }
technique T { pass P { vertex = FullScreen; fragment = Depth; depth_test = off; } }
)";
  std::unique_ptr<Effect> plain = Load(text);
  SetEffectsNeedDepthRemap(true);
  std::unique_ptr<Effect> remapped = Load(text);
  SetEffectsNeedDepthRemap(false);
  ASSERT_TRUE(plain && remapped);
  // Clip z 0 is the near plane: depth 0 once remapped, halfway in GL's own -1..1 convention.
  ASSERT_EQ(plain->TechniqueByName("T")->PassByIndex(0)->Apply(), kOk);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  EXPECT_FLOAT_EQ(Pixel(4, 4)[0], 0.5f);
  ASSERT_EQ(remapped->TechniqueByName("T")->PassByIndex(0)->Apply(), kOk);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  EXPECT_FLOAT_EQ(Pixel(4, 4)[0], 0.0f);
}

TEST_F(EffectTest, InputSignatureListsTheSemanticsTheVertexBlockReads) {
  std::unique_ptr<Effect> effect = Load(R"(
vertex VS {
  in vec3 POSITION;
  in vec2 TEXCOORD1;
  in vec4 COLOR;
  in vec3 NORMAL;  // declared but unused: not an input
  out vec4 shade;
  void main() { shade = COLOR * TEXCOORD1.x; gl_Position = vec4(POSITION, 1.0); }
}
fragment PS { in vec4 shade; out vec4 color; void main() { color = shade; } }
technique T { pass P { vertex = VS; fragment = PS; } }
)");
  ASSERT_TRUE(effect);
  InputSignature signature = effect->TechniqueByName("T")->PassByIndex(0)->Signature();
  std::sort(signature.begin(), signature.end(),
            [](const auto& a, const auto& b) { return a.semantic < b.semantic; });
  ASSERT_EQ(signature.size(), 3u);
  EXPECT_EQ(signature[0].semantic, "COLOR");
  EXPECT_EQ(signature[0].semanticIndex, 0u);
  EXPECT_EQ(signature[1].semantic, "POSITION");
  EXPECT_EQ(signature[2].semantic, "TEXCOORD");
  EXPECT_EQ(signature[2].semanticIndex, 1u);
}

TEST_F(EffectTest, LoadErrorsNameTheEffectFileLine) {
  struct Bad {
    std::string text;
    std::string expected;
  };
  const Bad cases[] = {
      // A GLSL error on line 5 of the file, behind a two-line shared block.
      {"shared {\n  uniform float g_fTime;\n}\nvertex VS {\n  void main() { gl_Position = vec4(undeclaredThing); }\n}\n"
       "fragment PS { out vec4 c; void main() { c = vec4(g_fTime); } }\n"
       "technique T { pass P { vertex = VS; fragment = PS; } }\n",
       "bad.fx:5: error: "},
      {"vertex VS {\n  in vec3 WOBBLE;\n  void main() { gl_Position = vec4(WOBBLE, 1.0); }\n}\n"
       "fragment PS { out vec4 c; void main() { c = vec4(1.0); } }\n"
       "technique T { pass P { vertex = VS; fragment = PS; } }\n",
       "bad.fx:1: vertex block 'VS' reads 'WOBBLE', which is no semantic"},
      {"vertex VS { void main() { gl_Position = vec4(0.0); } }\n"
       "fragment PS { uniform float hidden; out vec4 c; void main() { c = vec4(hidden); } }\n"
       "technique T {\n pass P { vertex = VS; fragment = PS; }\n}\n",
       "bad.fx:4: pass 'P' uses uniform 'hidden', which is not declared in a shared block"},
      // The stages disagree on the type of what they pass: a link error, reported at the pass.
      {"vertex VS { out vec3 shade; void main() { shade = vec3(1.0); gl_Position = vec4(0.0); } }\n"
       "fragment PS { in vec4 shade; out vec4 c; void main() { c = shade; } }\n"
       "technique T {\n\n pass P { vertex = VS; fragment = PS; }\n}\n",
       "bad.fx:5: pass 'P' did not link: "},
      {"technique T {\n  pass P { vertex = VS; }\n}\n", "bad.fx:2: no vertex block named 'VS'"},
  };
  for (const Bad& bad : cases) {
    std::unique_ptr<Effect> effect;
    std::string errors;
    EXPECT_LT(CreateEffectFromMemory(nullptr, bad.text, "bad.fx", &effect, &errors), 0) << bad.text;
    EXPECT_FALSE(effect);
    EXPECT_NE(errors.find(bad.expected), std::string::npos) << "wanted: " << bad.expected << "\ngot: " << errors;
  }
}

TEST_F(EffectTest, LoadsFromFilesAndReportsMissingOnes) {
  std::unique_ptr<Effect> effect;
  std::string errors;
  ASSERT_EQ(CreateEffectFromFile(nullptr, PATINEX_SOURCE_DIR "/media/framework_demo.fx", &effect, &errors), kOk)
      << errors;
  EffectTechnique* render = effect->TechniqueByName("Render");
  ASSERT_EQ(render->PassCount(), 1u);
  for (const char* name : {"g_mWorld", "g_mWorldViewProjection", "g_vLightDir", "g_fTime"}) {
    EXPECT_TRUE(effect->VariableByName(name)->IsValid()) << name;
  }
  EXPECT_EQ(render->PassByIndex(0)->Signature().size(), 3u);

  const std::string missing = ::testing::TempDir() + "no_such_effect.fx";
  EXPECT_EQ(CreateEffectFromFile(nullptr, missing, &effect, &errors), kFileNotFound);
  EXPECT_FALSE(effect);
  EXPECT_NE(errors.find(missing + ": cannot open the effect file"), std::string::npos) << errors;
}

TEST_F(EffectTest, AbsentAndMistypedLookupsAreInertAndRefuseToSet) {
  std::unique_ptr<Effect> effect = Load(kColorEffect);
  ASSERT_TRUE(effect);
  const float values[16] = {};
  for (Effect* source : {effect.get(), &NullEffect()}) {
    EffectTechnique* technique = source->TechniqueByName("NoSuchTechnique");
    EXPECT_FALSE(technique->IsValid());
    EXPECT_EQ(technique->PassCount(), 0u);
    EffectPass* pass = technique->PassByIndex(0);
    EXPECT_FALSE(pass->IsValid());
    EXPECT_TRUE(pass->Signature().empty());
    EXPECT_LT(pass->Apply(), 0);
    EffectVariable* variable = source->VariableByName("g_NoSuchVariable");
    EXPECT_FALSE(variable->IsValid());
    EXPECT_LT(variable->SetFloat(1.0f), 0);
    EXPECT_LT(variable->SetInt(1), 0);
    EXPECT_LT(variable->SetFloatVector(values, 4), 0);
    EXPECT_LT(variable->SetMatrix(values), 0);
    EXPECT_LT(variable->SetResource(nullptr), 0);
  }
  EXPECT_EQ(NullEffect().TechniqueCount(), 0u);
  EXPECT_FALSE(effect->TechniqueByName("Solid")->PassByIndex(1)->IsValid());
  // A real variable refuses values of another kind.
  EffectVariable* color = effect->VariableByName("g_vColor");
  EXPECT_EQ(color->SetMatrix(values), kInvalidArgument);
  EXPECT_EQ(color->SetResource(nullptr), kInvalidArgument);
  EXPECT_EQ(color->SetFloatVector(values, 5), kInvalidArgument);
}

}  // namespace
}  // namespace Platform
