#pragma once

#include <string>

// The fixed-function state a pass sets when it is applied: blending, depth test and write,
// culling. Every pass sets all of it, so nothing one pass leaves behind leaks into the next.
namespace Platform {

enum class BlendFactor {
  Zero,
  One,
  SrcColor,
  OneMinusSrcColor,
  SrcAlpha,
  OneMinusSrcAlpha,
  DstColor,
  OneMinusDstColor,
  DstAlpha,
  OneMinusDstAlpha,
  SrcAlphaSaturate,
};

enum class BlendOp { Add, Subtract, ReverseSubtract, Min, Max };

enum class CompareFunc { Never, Less, Equal, LessEqual, Greater, NotEqual, GreaterEqual, Always };

enum class CullMode { None, Front, Back };

// Which winding faces the viewer, as seen on screen.
enum class FrontFace { Clockwise, CounterClockwise };

struct RenderState {
  bool blendEnable = false;
  BlendFactor srcColor = BlendFactor::One;
  BlendFactor dstColor = BlendFactor::Zero;
  BlendOp colorOp = BlendOp::Add;
  BlendFactor srcAlpha = BlendFactor::One;
  BlendFactor dstAlpha = BlendFactor::Zero;
  BlendOp alphaOp = BlendOp::Add;
  bool depthTest = true;
  CompareFunc depthFunc = CompareFunc::Less;
  bool depthWrite = true;
  CullMode cull = CullMode::None;
  FrontFace frontFace = FrontFace::Clockwise;
};

bool operator==(const RenderState& a, const RenderState& b);

// Applies one setting of the effect format ("blend", "blend_op", "depth_test", "depth_func",
// "depth_write", "cull", "front_face") to state. value is the text between "=" and ";". False,
// with error saying what is wrong, when the key or value is unknown; state is then unchanged.
bool ApplyStateSetting(const std::string& key, const std::string& value, RenderState* state, std::string* error);

// Sets the current GL context's state to match.
void ApplyRenderState(const RenderState& state);

}  // namespace Platform
