#include "platform/render_state.h"

#include <epoxy/gl.h>

#include <vector>

namespace Platform {
namespace {

template <typename T>
struct Named {
  const char* name;
  T value;
};

constexpr Named<BlendFactor> kBlendFactors[] = {
    {"zero", BlendFactor::Zero},
    {"one", BlendFactor::One},
    {"src_color", BlendFactor::SrcColor},
    {"one_minus_src_color", BlendFactor::OneMinusSrcColor},
    {"src_alpha", BlendFactor::SrcAlpha},
    {"one_minus_src_alpha", BlendFactor::OneMinusSrcAlpha},
    {"dst_color", BlendFactor::DstColor},
    {"one_minus_dst_color", BlendFactor::OneMinusDstColor},
    {"dst_alpha", BlendFactor::DstAlpha},
    {"one_minus_dst_alpha", BlendFactor::OneMinusDstAlpha},
    {"src_alpha_saturate", BlendFactor::SrcAlphaSaturate},
};

constexpr Named<BlendOp> kBlendOps[] = {
    {"add", BlendOp::Add}, {"subtract", BlendOp::Subtract}, {"reverse_subtract", BlendOp::ReverseSubtract},
    {"min", BlendOp::Min}, {"max", BlendOp::Max},
};

constexpr Named<CompareFunc> kCompareFuncs[] = {
    {"never", CompareFunc::Never},     {"less", CompareFunc::Less},
    {"equal", CompareFunc::Equal},     {"less_equal", CompareFunc::LessEqual},
    {"greater", CompareFunc::Greater}, {"not_equal", CompareFunc::NotEqual},
    {"greater_equal", CompareFunc::GreaterEqual}, {"always", CompareFunc::Always},
};

constexpr Named<CullMode> kCullModes[] = {{"none", CullMode::None}, {"front", CullMode::Front}, {"back", CullMode::Back}};

constexpr Named<FrontFace> kFrontFaces[] = {{"cw", FrontFace::Clockwise}, {"ccw", FrontFace::CounterClockwise}};

template <typename T, size_t N>
bool Lookup(const Named<T> (&table)[N], const std::string& word, T* value) {
  for (const Named<T>& entry : table) {
    if (word == entry.name) {
      *value = entry.value;
      return true;
    }
  }
  return false;
}

template <typename T, size_t N>
std::string Choices(const Named<T> (&table)[N]) {
  std::string text;
  for (const Named<T>& entry : table) text += (text.empty() ? "" : ", ") + std::string(entry.name);
  return text;
}

// "a b, c d" -> {{"a", "b"}, {"c", "d"}}
std::vector<std::vector<std::string>> SplitGroups(const std::string& value) {
  std::vector<std::vector<std::string>> groups(1);
  std::string word;
  auto flush = [&] {
    if (!word.empty()) groups.back().push_back(word);
    word.clear();
  };
  for (char c : value) {
    if (c == ',') {
      flush();
      groups.emplace_back();
    } else if (c == ' ' || c == '\t') {
      flush();
    } else {
      word += c;
    }
  }
  flush();
  return groups;
}

bool ParseSwitch(const std::string& value, bool* on) {
  if (value == "on" || value == "true") {
    *on = true;
    return true;
  }
  if (value == "off" || value == "false") {
    *on = false;
    return true;
  }
  return false;
}

bool ParseBlend(const std::vector<std::vector<std::string>>& groups, RenderState* state, std::string* error) {
  if (groups.size() == 1 && groups[0].size() == 1 && groups[0][0] == "off") {
    state->blendEnable = false;
    return true;
  }
  BlendFactor factors[4];
  if ((groups.size() != 1 && groups.size() != 2) || groups[0].size() != 2 || groups.back().size() != 2) {
    *error = "blend takes 'off', 'SRC DST' or 'SRC DST, SRC_ALPHA DST_ALPHA'";
    return false;
  }
  for (size_t i = 0; i < groups.size() * 2; ++i) {
    const std::string& word = groups[i / 2][i % 2];
    if (!Lookup(kBlendFactors, word, &factors[i])) {
      *error = "unknown blend factor '" + word + "' (one of " + Choices(kBlendFactors) + ")";
      return false;
    }
  }
  state->blendEnable = true;
  state->srcColor = factors[0];
  state->dstColor = factors[1];
  state->srcAlpha = groups.size() == 2 ? factors[2] : factors[0];
  state->dstAlpha = groups.size() == 2 ? factors[3] : factors[1];
  return true;
}

bool ParseBlendOp(const std::vector<std::vector<std::string>>& groups, RenderState* state, std::string* error) {
  BlendOp ops[2];
  if ((groups.size() != 1 && groups.size() != 2) || groups[0].size() != 1 || groups.back().size() != 1) {
    *error = "blend_op takes 'OP' or 'OP, ALPHA_OP'";
    return false;
  }
  for (size_t i = 0; i < groups.size(); ++i) {
    if (!Lookup(kBlendOps, groups[i][0], &ops[i])) {
      *error = "unknown blend operation '" + groups[i][0] + "' (one of " + Choices(kBlendOps) + ")";
      return false;
    }
  }
  state->colorOp = ops[0];
  state->alphaOp = groups.size() == 2 ? ops[1] : ops[0];
  return true;
}

GLenum GlFactor(BlendFactor factor) {
  switch (factor) {
    case BlendFactor::Zero: return GL_ZERO;
    case BlendFactor::One: return GL_ONE;
    case BlendFactor::SrcColor: return GL_SRC_COLOR;
    case BlendFactor::OneMinusSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case BlendFactor::SrcAlpha: return GL_SRC_ALPHA;
    case BlendFactor::OneMinusSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case BlendFactor::DstColor: return GL_DST_COLOR;
    case BlendFactor::OneMinusDstColor: return GL_ONE_MINUS_DST_COLOR;
    case BlendFactor::DstAlpha: return GL_DST_ALPHA;
    case BlendFactor::OneMinusDstAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case BlendFactor::SrcAlphaSaturate: return GL_SRC_ALPHA_SATURATE;
  }
  return GL_ONE;
}

GLenum GlOp(BlendOp op) {
  switch (op) {
    case BlendOp::Add: return GL_FUNC_ADD;
    case BlendOp::Subtract: return GL_FUNC_SUBTRACT;
    case BlendOp::ReverseSubtract: return GL_FUNC_REVERSE_SUBTRACT;
    case BlendOp::Min: return GL_MIN;
    case BlendOp::Max: return GL_MAX;
  }
  return GL_FUNC_ADD;
}

GLenum GlCompare(CompareFunc func) {
  switch (func) {
    case CompareFunc::Never: return GL_NEVER;
    case CompareFunc::Less: return GL_LESS;
    case CompareFunc::Equal: return GL_EQUAL;
    case CompareFunc::LessEqual: return GL_LEQUAL;
    case CompareFunc::Greater: return GL_GREATER;
    case CompareFunc::NotEqual: return GL_NOTEQUAL;
    case CompareFunc::GreaterEqual: return GL_GEQUAL;
    case CompareFunc::Always: return GL_ALWAYS;
  }
  return GL_LESS;
}

}  // namespace

bool operator==(const RenderState& a, const RenderState& b) {
  return a.blendEnable == b.blendEnable && a.srcColor == b.srcColor && a.dstColor == b.dstColor &&
         a.colorOp == b.colorOp && a.srcAlpha == b.srcAlpha && a.dstAlpha == b.dstAlpha && a.alphaOp == b.alphaOp &&
         a.depthTest == b.depthTest && a.depthFunc == b.depthFunc && a.depthWrite == b.depthWrite && a.cull == b.cull &&
         a.frontFace == b.frontFace;
}

bool ApplyStateSetting(const std::string& key, const std::string& value, RenderState* state, std::string* error) {
  const std::vector<std::vector<std::string>> groups = SplitGroups(value);
  const bool oneWord = groups.size() == 1 && groups[0].size() == 1;
  const std::string word = oneWord ? groups[0][0] : std::string();
  RenderState changed = *state;
  std::string why;
  bool ok = false;
  if (key == "blend") {
    ok = ParseBlend(groups, &changed, &why);
  } else if (key == "blend_op") {
    ok = ParseBlendOp(groups, &changed, &why);
  } else if (key == "depth_test") {
    // A compare function both enables the test and picks the function.
    if (oneWord && Lookup(kCompareFuncs, word, &changed.depthFunc)) {
      changed.depthTest = true;
      ok = true;
    } else {
      ok = oneWord && ParseSwitch(word, &changed.depthTest);
    }
    if (!ok) why = "depth_test takes on, off or a compare function (" + Choices(kCompareFuncs) + ")";
  } else if (key == "depth_func") {
    ok = oneWord && Lookup(kCompareFuncs, word, &changed.depthFunc);
    if (!ok) why = "depth_func takes one of " + Choices(kCompareFuncs);
  } else if (key == "depth_write") {
    ok = oneWord && ParseSwitch(word, &changed.depthWrite);
    if (!ok) why = "depth_write takes on or off";
  } else if (key == "cull") {
    ok = oneWord && Lookup(kCullModes, word, &changed.cull);
    if (!ok) why = "cull takes one of " + Choices(kCullModes);
  } else if (key == "front_face") {
    ok = oneWord && Lookup(kFrontFaces, word, &changed.frontFace);
    if (!ok) why = "front_face takes one of " + Choices(kFrontFaces);
  } else {
    why = "unknown setting '" + key + "' (one of blend, blend_op, depth_test, depth_func, depth_write, cull, front_face)";
  }
  if (!ok) {
    if (error) *error = why;
    return false;
  }
  *state = changed;
  return true;
}

void ApplyRenderState(const RenderState& state) {
  if (state.blendEnable) {
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GlFactor(state.srcColor), GlFactor(state.dstColor), GlFactor(state.srcAlpha),
                        GlFactor(state.dstAlpha));
    glBlendEquationSeparate(GlOp(state.colorOp), GlOp(state.alphaOp));
  } else {
    glDisable(GL_BLEND);
  }
  if (state.depthTest) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GlCompare(state.depthFunc));
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  glDepthMask(state.depthWrite ? GL_TRUE : GL_FALSE);
  if (state.cull == CullMode::None) {
    glDisable(GL_CULL_FACE);
  } else {
    glEnable(GL_CULL_FACE);
    glCullFace(state.cull == CullMode::Front ? GL_FRONT : GL_BACK);
  }
  glFrontFace(state.frontFace == FrontFace::Clockwise ? GL_CW : GL_CCW);
}

}  // namespace Platform
