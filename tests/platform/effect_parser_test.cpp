#include "platform/effect_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Platform {
namespace {

const char* const kEffect = R"(// A comment before anything.
shared {
  uniform mat4 g_mWorld;
  uniform vec4 g_vColor = vec4(1.0, 0.5, 0.25, 1.0), g_vTint;
  uniform sampler2D g_Texture;
  /* { unbalanced braces in comments do not count */
}
state UIBlend { blend = src_alpha one_minus_src_alpha, one zero; }
state DisableDepth {
  depth_test = off;
  depth_write = off;
}
vertex VS {
  in vec3 POSITION;
  void main() { gl_Position = g_mWorld * vec4(POSITION, 1.0); }
}
fragment PS {
  out vec4 color;
  void main() {
    if (true) { color = g_vColor; }
  }
}
technique RenderUI {
  pass P0 {
    vertex = VS;
    fragment = PS;
    state = UIBlend, DisableDepth;
    blend_op = max;
    cull = back;
  }
}
technique Plain {
  pass First { vertex = VS; fragment = PS; depth_test = less_equal; }
  pass Second { vertex = VS; fragment = PS; state = DisableDepth; depth_write = on; front_face = ccw; }
}
)";

TEST(EffectParser, ReadsBlocksTechniquesPassesAndResolvedStates) {
  EffectDescription effect;
  std::string errors;
  ASSERT_TRUE(ParseEffect(kEffect, "ui.fx", &effect, &errors)) << errors;
  EXPECT_TRUE(errors.empty());

  ASSERT_EQ(effect.sharedBlocks.size(), 1u);
  EXPECT_EQ(effect.sharedBlocks[0].firstLine, 2u);
  ASSERT_EQ(effect.vertexBlocks.size(), 1u);
  EXPECT_EQ(effect.vertexBlocks[0].line, 13u);
  EXPECT_NE(effect.fragmentBlocks[0].code.find("color = g_vColor; }\n  }"), std::string::npos);
  ASSERT_EQ(effect.stateBlocks.size(), 2u);
  EXPECT_EQ(effect.stateBlocks[1].name, "DisableDepth");
  EXPECT_EQ(effect.stateBlocks[1].settings.size(), 2u);

  ASSERT_EQ(effect.uniforms.size(), 4u);
  EXPECT_EQ(effect.uniforms[0].name, "g_mWorld");
  EXPECT_EQ(effect.uniforms[0].type, UniformType::Mat4);
  EXPECT_EQ(effect.uniforms[2].name, "g_vTint");
  EXPECT_EQ(effect.uniforms[2].line, 4u);
  EXPECT_EQ(effect.uniforms[3].type, UniformType::Sampler2D);

  ASSERT_EQ(effect.techniques.size(), 2u);
  const PassDescription& ui = effect.techniques[0].passes.at(0);
  EXPECT_EQ(ui.vertexBlock, "VS");
  EXPECT_EQ(ui.stateBlocks, (std::vector<std::string>{"UIBlend", "DisableDepth"}));
  RenderState expected;
  expected.blendEnable = true;
  expected.srcColor = BlendFactor::SrcAlpha;
  expected.dstColor = BlendFactor::OneMinusSrcAlpha;
  expected.srcAlpha = BlendFactor::One;
  expected.dstAlpha = BlendFactor::Zero;
  expected.colorOp = expected.alphaOp = BlendOp::Max;
  expected.depthTest = false;
  expected.depthWrite = false;
  expected.cull = CullMode::Back;
  EXPECT_TRUE(ui.state == expected);

  const TechniqueDescription& plain = effect.techniques[1];
  ASSERT_EQ(plain.passes.size(), 2u);
  EXPECT_EQ(plain.passes[0].name, "First");
  EXPECT_TRUE(plain.passes[0].state.depthTest);
  EXPECT_EQ(plain.passes[0].state.depthFunc, CompareFunc::LessEqual);
  EXPECT_FALSE(plain.passes[0].state.blendEnable);
  // Later settings win over the state block named before them.
  EXPECT_FALSE(plain.passes[1].state.depthTest);
  EXPECT_TRUE(plain.passes[1].state.depthWrite);
  EXPECT_EQ(plain.passes[1].state.frontFace, FrontFace::CounterClockwise);
}

struct BadEffect {
  const char* text;
  const char* expected;  // must appear in the errors
};

TEST(EffectParser, ErrorsNameTheLineAndWhatIsWrong) {
  const BadEffect cases[] = {
      {"shared {\n}\nstate S {\n  blend = src_alpha sideways;\n}\n", "bad.fx:4: unknown blend factor 'sideways'"},
      {"state S {\n  depth_test = off\n}\n", "bad.fx:2: setting 'depth_test' does not end with ';'"},
      {"\n\nvertex VS {\n void main() {\n", "bad.fx:3: vertex block 'VS' is never closed"},
      {"vertex VS { void main() {} }\nfragment PS { void main() {} }\ntechnique T {\n pass P {\n  vertex = VS;\n"
       "  fragment = PX;\n }\n}\n",
       "bad.fx:6: no fragment block named 'PX'"},
      {"vertex VS { void main() {} }\nfragment PS { void main() {} }\ntechnique T {\n pass P {\n  vertex = VS;\n"
       "  fragment = PS;\n  state = Missing;\n }\n}\n",
       "bad.fx:7: no state block named 'Missing'"},
      {"technique T {\n pass P {\n  fragment = PS;\n }\n}\nfragment PS { void main() {} }\n",
       "bad.fx:2: pass 'P' names no vertex block"},
      {"shared {\n uniform float a;\n\n uniform mat3 b;\n}\n", "bad.fx:4: uniform type 'mat3' is not supported"},
      {"shared {\n uniform vec4 lights[4];\n}\n", "bad.fx:2: uniform 'lights' is an array"},
      {"state A { cull = back; }\n\nstate A { cull = none; }\n", "bad.fx:3: state block 'A' is already defined on line 1"},
      {"/* open\n\n", "bad.fx:1: comment is never closed"},
      {"\nsampler S {}\n", "bad.fx:2: expected shared, vertex, fragment, state or technique, found 'sampler'"},
      {"state S {\n wobble = on;\n}\n", "bad.fx:2: unknown setting 'wobble'"},
      {"shared {\n}\n\n", "bad.fx:4: the effect has no technique"},
  };
  for (const BadEffect& bad : cases) {
    EffectDescription effect;
    std::string errors;
    EXPECT_FALSE(ParseEffect(bad.text, "bad.fx", &effect, &errors)) << bad.text;
    EXPECT_NE(errors.find(bad.expected), std::string::npos) << "wanted: " << bad.expected << "\ngot: " << errors;
  }
}

TEST(EffectParser, StageSourceKeepsFileLinesAndWrapsMainForDepthRemap) {
  EffectDescription effect;
  std::string errors;
  ASSERT_TRUE(ParseEffect(kEffect, "ui.fx", &effect, &errors)) << errors;
  const CodeBlock& vertex = effect.vertexBlocks[0];
  const std::string plain = BuildStageSource(effect, vertex, ShaderStage::Vertex, false);
  EXPECT_EQ(plain.rfind("#version 330 core\n#line 2 0\n", 0), 0u);
  EXPECT_NE(plain.find("#line 13 0\n"), std::string::npos);
  EXPECT_EQ(plain.find("gl_Position.z = 2.0"), std::string::npos);

  const std::string remapped = BuildStageSource(effect, vertex, ShaderStage::Vertex, true);
  EXPECT_NE(remapped.find("void effect_vertex_main() {"), std::string::npos);
  EXPECT_NE(remapped.find("effect_vertex_main();\n  gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;"),
            std::string::npos);
  // Only the vertex stage is remapped.
  const std::string fragment = BuildStageSource(effect, effect.fragmentBlocks[0], ShaderStage::Fragment, true);
  EXPECT_EQ(fragment.find("effect_vertex_main"), std::string::npos);
}

// A shared block may come from a file of its own: its code goes in front of every stage, in file
// order with the other shared blocks, numbered as a source of its own so that compiler messages
// about it name that file.
TEST(EffectParser, SharedFilesJoinTheSharedBlocksUnderTheirOwnName) {
  const std::string text = "shared \"rules.glsl\";\nshared { uniform float g_fA; }\n" + std::string(kEffect);
  std::vector<std::string> asked;
  const SharedFileReader reader = [&asked](const std::string& name, std::string* code, std::string* error) {
    asked.push_back(name);
    if (name != "rules.glsl") {
      *error = "cannot open " + name;
      return false;
    }
    *code = "const float kRule = 2.0;\nuniform float g_fRule;\n";
    return true;
  };
  EffectDescription effect;
  std::string errors;
  ASSERT_TRUE(ParseEffect(text, "ui.fx", &effect, &errors, reader)) << errors;
  ASSERT_EQ(asked, std::vector<std::string>{"rules.glsl"});
  ASSERT_EQ(effect.sharedBlocks.size(), 3u);
  EXPECT_EQ(effect.uniforms.front().name, "g_fRule");
  const std::string source = BuildStageSource(effect, effect.vertexBlocks[0], ShaderStage::Vertex, false);
  const size_t rules = source.find("#line 1 1\nconst float kRule");
  ASSERT_NE(rules, std::string::npos) << source;
  EXPECT_LT(rules, source.find("#line 2 0\n"));
  uint32_t line = 0, number = 0;
  std::string message;
  ASSERT_TRUE(ParseCompilerMessage("1:2(9): error: syntax error", &line, &message, &number));
  EXPECT_EQ(SourceNameOf(effect, number), "rules.glsl");
  EXPECT_EQ(SourceNameOf(effect, 0), "ui.fx");

  const std::string missing = "\n\nshared \"gone.glsl\";\n" + std::string(kEffect);
  errors.clear();
  EXPECT_FALSE(ParseEffect(missing, "ui.fx", &effect, &errors, reader));
  EXPECT_NE(errors.find("ui.fx:3: shared \"gone.glsl\": cannot open gone.glsl"), std::string::npos) << errors;
  errors.clear();
  EXPECT_FALSE(ParseEffect(text, "ui.fx", &effect, &errors));
  EXPECT_NE(errors.find("ui.fx:1: shared \"rules.glsl\": shared files can be named only by an effect read from a file"),
            std::string::npos)
      << errors;
}

TEST(EffectParser, CompilerMessagesOfTheCommonDriversGiveTheirLine) {
  uint32_t line = 0;
  std::string message;
  ASSERT_TRUE(ParseCompilerMessage("0:17(12): error: `foo' undeclared", &line, &message));
  EXPECT_EQ(line, 17u);
  EXPECT_EQ(message, "error: `foo' undeclared");
  ASSERT_TRUE(ParseCompilerMessage("0(23) : error C1008: undefined variable \"foo\"", &line, &message));
  EXPECT_EQ(line, 23u);
  ASSERT_TRUE(ParseCompilerMessage("ERROR: 0:5: 'foo' : undeclared identifier", &line, &message));
  EXPECT_EQ(line, 5u);
  EXPECT_EQ(message, "error: 'foo' : undeclared identifier");
  EXPECT_FALSE(ParseCompilerMessage("error: linking failed", &line, &message));
}

}  // namespace
}  // namespace Platform
