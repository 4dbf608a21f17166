#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/render_state.h"

// Reads the effect text format (docs/effects.md) into a plain description, and builds the GLSL
// source of each stage from it. Needs no GL context.
namespace Platform {

enum class ShaderStage { Vertex, Fragment };

struct CodeBlock {
  std::string name;  // empty for shared blocks
  std::string code;
  uint32_t firstLine = 0;  // file line on which code starts
  uint32_t line = 0;       // line of the block's header
  // A shared block read from a file of its own: that file's name, and the source number its
  // lines carry in the GLSL (0 is the effect file itself).
  std::string fileName;
  uint32_t sourceNumber = 0;
};

enum class UniformType { Float, Int, Vec2, Vec3, Vec4, Mat4, Sampler2D };

struct UniformDeclaration {
  std::string name;
  UniformType type = UniformType::Float;
  uint32_t line = 0;
};

struct StateBlock {
  std::string name;
  uint32_t line = 0;
  struct Setting {
    std::string key;
    std::string value;
    uint32_t line = 0;
  };
  std::vector<Setting> settings;
};

struct PassDescription {
  std::string name;
  uint32_t line = 0;
  std::string vertexBlock;
  std::string fragmentBlock;
  std::vector<std::string> stateBlocks;  // in the order named
  RenderState state;                     // defaults, then state blocks and inline settings in order
};

struct TechniqueDescription {
  std::string name;
  uint32_t line = 0;
  std::vector<PassDescription> passes;
};

struct EffectDescription {
  std::string sourceName;
  std::vector<CodeBlock> sharedBlocks;  // in file order
  std::vector<CodeBlock> vertexBlocks;
  std::vector<CodeBlock> fragmentBlocks;
  std::vector<StateBlock> stateBlocks;
  std::vector<TechniqueDescription> techniques;
  std::vector<UniformDeclaration> uniforms;  // declared in the shared blocks, in order
};

// Reads the file a `shared "NAME";` block names into text; false with the reason in error.
using SharedFileReader = std::function<bool(const std::string& name, std::string* text, std::string* error)>;

// Parses text. On failure returns false and appends "sourceName:line: message" lines to errors:
// reading stops at a syntax error, but every bad setting, name or declaration is reported.
// Without readSharedFile a shared block that names a file is an error.
bool ParseEffect(const std::string& text, const std::string& sourceName, EffectDescription* effect,
                 std::string* errors, const SharedFileReader& readSharedFile = nullptr);

// The name that compiler messages about a source number refer to: the effect's own for 0.
const std::string& SourceNameOf(const EffectDescription& effect, uint32_t sourceNumber);

const CodeBlock* FindCodeBlock(const EffectDescription& effect, ShaderStage stage, const std::string& name);

// The GLSL of one stage: the version line, the shared blocks and the stage block, each behind a
// #line directive so compiler messages carry effect file lines. With depthRemap, a vertex
// block's main is wrapped so that 0..1 clip depth is turned into GL's -1..1 after it.
std::string BuildStageSource(const EffectDescription& effect, const CodeBlock& block, ShaderStage stage,
                             bool depthRemap);

// The file line of a line in a GLSL compiler message ("0:12(5): error: ...", "0(12) : error ...",
// "ERROR: 0:12: ..."), with the message part and, when asked for, the source number before the
// line; false when the line holds no line number.
bool ParseCompilerMessage(const std::string& logLine, uint32_t* line, std::string* message,
                          uint32_t* sourceNumber = nullptr);

}  // namespace Platform
