#include "platform/gl_effect.h"

#include <epoxy/gl.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>

namespace Platform {
namespace {

std::atomic<bool> depthRemapNeeded{false};

// Texture units handed to sampler variables in declaration order, up to the 48 units GL 3.3
// guarantees in all; each program may still use no more than its stage's limit (at least 16),
// which its link checks.
constexpr int kMaxSamplers = 48;

constexpr const char* kSemantics[] = {"POSITION", "NORMAL", "TEXCOORD", "COLOR", "TANGENT", "BINORMAL"};

class InertVariable final : public EffectVariable {
public:
  bool IsValid() const override { return false; }
  const std::string& Name() const override { return name; }
  Result SetFloat(float) override { return kFail; }
  Result SetInt(int32_t) override { return kFail; }
  Result SetFloatVector(const float*, uint32_t) override { return kFail; }
  Result SetMatrix(const float*) override { return kFail; }
  Result SetResource(ShaderResourceView*) override { return kFail; }

private:
  std::string name;
};

class InertPass final : public EffectPass {
public:
  bool IsValid() const override { return false; }
  const std::string& Name() const override { return name; }
  const InputSignature& Signature() const override { return signature; }
  Result Apply() override { return kFail; }

private:
  std::string name;
  InputSignature signature;
};

class InertTechnique final : public EffectTechnique {
public:
  bool IsValid() const override { return false; }
  const std::string& Name() const override { return name; }
  uint32_t PassCount() const override { return 0; }
  EffectPass* PassByIndex(uint32_t) override;

private:
  std::string name;
};

InertVariable inertVariable;
InertPass inertPass;
InertTechnique inertTechnique;

EffectPass* InertTechnique::PassByIndex(uint32_t) { return &inertPass; }

class NullEffectImpl final : public Effect {
public:
  EffectTechnique* TechniqueByName(const std::string&) override { return &inertTechnique; }
  EffectVariable* VariableByName(const std::string&) override { return &inertVariable; }
  uint32_t TechniqueCount() const override { return 0; }
};

uint32_t ComponentCount(UniformType type) {
  switch (type) {
    case UniformType::Vec2: return 2;
    case UniformType::Vec3: return 3;
    case UniformType::Vec4: return 4;
    case UniformType::Mat4: return 16;
    default: return 1;
  }
}

GLenum GlType(UniformType type) {
  switch (type) {
    case UniformType::Float: return GL_FLOAT;
    case UniformType::Int: return GL_INT;
    case UniformType::Vec2: return GL_FLOAT_VEC2;
    case UniformType::Vec3: return GL_FLOAT_VEC3;
    case UniformType::Vec4: return GL_FLOAT_VEC4;
    case UniformType::Mat4: return GL_FLOAT_MAT4;
    case UniformType::Sampler2D: return GL_SAMPLER_2D;
  }
  return GL_NONE;
}

// A variable's value lives here; each set bumps the version, and a program uploads the value
// when the version differs from the one it saw last.
class GlVariable final : public EffectVariable {
public:
  GlVariable(const UniformDeclaration& declaration, int unit)
      : name(declaration.name), type(declaration.type), textureUnit(unit) {}

  bool IsValid() const override { return true; }
  const std::string& Name() const override { return name; }

  Result SetFloat(float value) override {
    if (type == UniformType::Float) {
      floats[0] = value;
    } else if (type == UniformType::Int) {
      intValue = static_cast<int32_t>(value);
    } else {
      return kInvalidArgument;
    }
    ++version;
    return kOk;
  }

  Result SetInt(int32_t value) override {
    if (type == UniformType::Int) {
      intValue = value;
    } else if (type == UniformType::Float) {
      floats[0] = static_cast<float>(value);
    } else {
      return kInvalidArgument;
    }
    ++version;
    return kOk;
  }

  Result SetFloatVector(const float* values, uint32_t count) override {
    const bool vector = type == UniformType::Float || type == UniformType::Vec2 || type == UniformType::Vec3 ||
                        type == UniformType::Vec4;
    if (!vector || !values || count == 0 || count > 4) return kInvalidArgument;
    const uint32_t used = count < ComponentCount(type) ? count : ComponentCount(type);
    std::memcpy(floats, values, used * sizeof(float));
    ++version;
    return kOk;
  }

  Result SetMatrix(const float* matrix16) override {
    if (type != UniformType::Mat4 || !matrix16) return kInvalidArgument;
    std::memcpy(floats, matrix16, sizeof(floats));
    ++version;
    return kOk;
  }

  Result SetResource(ShaderResourceView* view) override {
    if (type != UniformType::Sampler2D) return kInvalidArgument;
    // The name, not the view: a view destroyed while still set must not be touched later.
    texture = view ? view->GlTexture() : 0;
    ++version;
    return kOk;
  }

  // Uploads to the current program.
  void Upload(GLint location) const {
    switch (type) {
      case UniformType::Float: glUniform1fv(location, 1, floats); break;
      case UniformType::Int: glUniform1i(location, intValue); break;
      case UniformType::Vec2: glUniform2fv(location, 1, floats); break;
      case UniformType::Vec3: glUniform3fv(location, 1, floats); break;
      case UniformType::Vec4: glUniform4fv(location, 1, floats); break;
      // Row-vector matrices read column-major are their transposes, so "M * v" in GLSL gives v*M.
      case UniformType::Mat4: glUniformMatrix4fv(location, 1, GL_FALSE, floats); break;
      case UniformType::Sampler2D: break;
    }
  }

  void BindTexture() const {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(textureUnit));
    glBindTexture(GL_TEXTURE_2D, texture != 0 && glIsTexture(texture) ? texture : 0);
  }

  // Takes the initial value a program gives the uniform (its GLSL initialiser, or zero).
  void ReadInitialValue(GLuint program, GLint location) {
    if (initialised) return;
    initialised = true;
    if (type == UniformType::Int) {
      glGetUniformiv(program, location, &intValue);
    } else if (type != UniformType::Sampler2D) {
      glGetUniformfv(program, location, floats);
    }
  }

  UniformType Type() const { return type; }
  int TextureUnit() const { return textureUnit; }
  uint64_t Version() const { return version; }

private:
  std::string name;
  UniformType type;
  int textureUnit;  // -1 unless a sampler
  float floats[16] = {};
  int32_t intValue = 0;
  uint32_t texture = 0;
  uint64_t version = 0;
  bool initialised = false;
};

struct ProgramUniform {
  GlVariable* variable;
  GLint location;
  uint64_t seenVersion;
};

struct Program {
  GLuint id = 0;
  std::vector<ProgramUniform> uniforms;
  InputSignature signature;
};

class GlPass final : public EffectPass {
public:
  GlPass(std::string passName, Program* passProgram, const RenderState& passState)
      : name(std::move(passName)), program(passProgram), state(passState) {}

  bool IsValid() const override { return true; }
  const std::string& Name() const override { return name; }
  const InputSignature& Signature() const override { return program->signature; }

  Result Apply() override {
    glUseProgram(program->id);
    for (ProgramUniform& uniform : program->uniforms) {
      const GlVariable& variable = *uniform.variable;
      if (variable.Type() == UniformType::Sampler2D) {
        variable.BindTexture();
      } else if (uniform.seenVersion != variable.Version()) {
        variable.Upload(uniform.location);
        uniform.seenVersion = variable.Version();
      }
    }
    glActiveTexture(GL_TEXTURE0);
    ApplyRenderState(state);
    return kOk;
  }

private:
  std::string name;
  Program* program;
  RenderState state;
};

class GlTechnique final : public EffectTechnique {
public:
  explicit GlTechnique(std::string techniqueName) : name(std::move(techniqueName)) {}

  bool IsValid() const override { return true; }
  const std::string& Name() const override { return name; }
  uint32_t PassCount() const override { return static_cast<uint32_t>(passes.size()); }
  EffectPass* PassByIndex(uint32_t index) override {
    return index < passes.size() ? passes[index].get() : static_cast<EffectPass*>(&inertPass);
  }

  std::vector<std::unique_ptr<GlPass>> passes;

private:
  std::string name;
};

class GlEffect final : public Effect {
public:
  ~GlEffect() override {
    for (const std::unique_ptr<Program>& program : programs) glDeleteProgram(program->id);
  }

  EffectTechnique* TechniqueByName(const std::string& name) override {
    for (const std::unique_ptr<GlTechnique>& technique : techniques) {
      if (technique->Name() == name) return technique.get();
    }
    return &inertTechnique;
  }

  EffectVariable* VariableByName(const std::string& name) override {
    GlVariable* variable = FindVariable(name);
    return variable ? static_cast<EffectVariable*>(variable) : &inertVariable;
  }

  uint32_t TechniqueCount() const override { return static_cast<uint32_t>(techniques.size()); }

  GlVariable* FindVariable(const std::string& name) {
    for (const std::unique_ptr<GlVariable>& variable : variables) {
      if (variable->Name() == name) return variable.get();
    }
    return nullptr;
  }

  std::vector<std::unique_ptr<GlVariable>> variables;
  std::vector<std::unique_ptr<Program>> programs;
  std::vector<std::unique_ptr<GlTechnique>> techniques;
};

// Builds one effect; reports every error it meets as "source:line: message".
class EffectCompiler {
public:
  EffectCompiler(const EffectDescription& effectDescription, std::string* errorText)
      : description(effectDescription), errors(errorText) {}

  ~EffectCompiler() {
    for (const auto& [name, shader] : vertexShaders) glDeleteShader(shader);
    for (const auto& [name, shader] : fragmentShaders) glDeleteShader(shader);
  }

  Result Compile(std::unique_ptr<Effect>* result) {
    auto effect = std::make_unique<GlEffect>();
    const bool remap = EffectsNeedDepthRemap();
    for (const CodeBlock& block : description.vertexBlocks) {
      vertexShaders[block.name] = CompileStage(block, ShaderStage::Vertex, remap);
    }
    for (const CodeBlock& block : description.fragmentBlocks) {
      fragmentShaders[block.name] = CompileStage(block, ShaderStage::Fragment, false);
    }
    if (failed) return kFail;

    int samplers = 0;
    for (const UniformDeclaration& uniform : description.uniforms) {
      int unit = -1;
      if (uniform.type == UniformType::Sampler2D) {
        if (samplers == kMaxSamplers) {
          Error(uniform.line, "more than " + std::to_string(kMaxSamplers) + " sampler2D variables");
        }
        unit = samplers++;
      }
      effect->variables.push_back(std::make_unique<GlVariable>(uniform, unit));
    }

    GLint previousProgram = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previousProgram);
    std::map<std::pair<std::string, std::string>, Program*> programsByBlocks;
    for (const TechniqueDescription& techniqueDescription : description.techniques) {
      auto technique = std::make_unique<GlTechnique>(techniqueDescription.name);
      for (const PassDescription& pass : techniqueDescription.passes) {
        const auto key = std::make_pair(pass.vertexBlock, pass.fragmentBlock);
        // Passes with the same code share one program; a failed link is reported once.
        auto found = programsByBlocks.find(key);
        if (found == programsByBlocks.end()) found = programsByBlocks.emplace(key, Link(pass, effect.get())).first;
        Program* program = found->second;
        if (!program) continue;
        technique->passes.push_back(std::make_unique<GlPass>(pass.name, program, pass.state));
      }
      effect->techniques.push_back(std::move(technique));
    }
    glUseProgram(static_cast<GLuint>(previousProgram));
    if (failed) return kFail;
    *result = std::move(effect);
    return kOk;
  }

private:
  void Error(uint32_t line, const std::string& message, uint32_t sourceNumber = 0) {
    failed = true;
    if (errors) {
      *errors += SourceNameOf(description, sourceNumber) + ":" + std::to_string(line) + ": " + message + "\n";
    }
  }

  // Each log line that names a line keeps it; the others go to fallbackLine.
  void ReportLog(const std::string& log, uint32_t fallbackLine, const std::string& context) {
    std::istringstream lines(log);
    std::string logLine;
    bool reported = false;
    while (std::getline(lines, logLine)) {
      if (logLine.find_first_not_of(" \t\r") == std::string::npos) continue;
      uint32_t line = 0, sourceNumber = 0;
      std::string message;
      if (ParseCompilerMessage(logLine, &line, &message, &sourceNumber)) {
        Error(line, message, sourceNumber);
      } else {
        Error(fallbackLine, context + ": " + logLine);
      }
      reported = true;
    }
    if (!reported) Error(fallbackLine, context + " (no message from the GLSL compiler)");
  }

  GLuint CompileStage(const CodeBlock& block, ShaderStage stage, bool remap) {
    const std::string source = BuildStageSource(description, block, stage, remap);
    const GLuint shader = glCreateShader(stage == ShaderStage::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status != GL_TRUE) {
      const char* stageName = stage == ShaderStage::Vertex ? "vertex" : "fragment";
      ReportLog(ShaderLog(shader), block.line, std::string(stageName) + " block '" + block.name + "' did not compile");
    }
    return shader;
  }

  static std::string ShaderLog(GLuint shader) {
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(length > 0 ? length : 1), '\0');
    glGetShaderInfoLog(shader, static_cast<GLsizei>(log.size()), nullptr, log.data());
    log.resize(std::strlen(log.c_str()));
    return log;
  }

  static std::string ProgramLog(GLuint program) {
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(length > 0 ? length : 1), '\0');
    glGetProgramInfoLog(program, static_cast<GLsizei>(log.size()), nullptr, log.data());
    log.resize(std::strlen(log.c_str()));
    return log;
  }

  Program* Link(const PassDescription& pass, GlEffect* effect) {
    const CodeBlock* vertexBlock = FindCodeBlock(description, ShaderStage::Vertex, pass.vertexBlock);
    const GLuint id = glCreateProgram();
    auto program = std::make_unique<Program>();
    program->id = id;
    effect->programs.push_back(std::move(program));
    Program* linked = effect->programs.back().get();

    glAttachShader(id, vertexShaders.at(pass.vertexBlock));
    glAttachShader(id, fragmentShaders.at(pass.fragmentBlock));
    // Every program puts each semantic at the same location, so one input layout fits them all.
    for (const char* semantic : kSemantics) {
      for (uint32_t index = 0; AttributeLocation(semantic, index) >= 0; ++index) {
        const GLuint location = static_cast<GLuint>(AttributeLocation(semantic, index));
        if (index == 0) glBindAttribLocation(id, location, semantic);
        glBindAttribLocation(id, location, (semantic + std::to_string(index)).c_str());
      }
    }
    glLinkProgram(id);
    glDetachShader(id, vertexShaders.at(pass.vertexBlock));
    glDetachShader(id, fragmentShaders.at(pass.fragmentBlock));
    GLint status = GL_FALSE;
    glGetProgramiv(id, GL_LINK_STATUS, &status);
    if (status != GL_TRUE) {
      ReportLog(ProgramLog(id), pass.line, "pass '" + pass.name + "' did not link");
      return nullptr;
    }
    if (!ReadAttributes(linked, *vertexBlock) || !ReadUniforms(linked, pass, effect)) return nullptr;
    return linked;
  }

  bool ReadAttributes(Program* program, const CodeBlock& vertexBlock) {
    GLint count = 0;
    glGetProgramiv(program->id, GL_ACTIVE_ATTRIBUTES, &count);
    bool ok = true;
    for (GLint i = 0; i < count; ++i) {
      char name[256] = {};
      GLint size = 0;
      GLenum type = GL_NONE;
      glGetActiveAttrib(program->id, static_cast<GLuint>(i), sizeof(name), nullptr, &size, &type, name);
      if (std::strncmp(name, "gl_", 3) == 0) continue;
      InputSignatureElement element;
      if (!ParseAttributeName(name, &element.semantic, &element.semanticIndex)) {
        Error(vertexBlock.line, "vertex block '" + vertexBlock.name + "' reads '" + name +
                                    "', which is no semantic (POSITION, NORMAL, TEXCOORD0-3, COLOR0-1, TANGENT, "
                                    "BINORMAL)");
        ok = false;
        continue;
      }
      if (glGetAttribLocation(program->id, name) != AttributeLocation(element.semantic, element.semanticIndex)) {
        Error(vertexBlock.line, "vertex block '" + vertexBlock.name + "' gives '" + name +
                                    "' a location of its own; semantics have fixed locations");
        ok = false;
        continue;
      }
      program->signature.push_back(element);
    }
    return ok;
  }

  bool ReadUniforms(Program* program, const PassDescription& pass, GlEffect* effect) {
    GLint count = 0;
    glGetProgramiv(program->id, GL_ACTIVE_UNIFORMS, &count);
    glUseProgram(program->id);
    bool ok = true;
    for (GLint i = 0; i < count; ++i) {
      char name[256] = {};
      GLint size = 0;
      GLenum type = GL_NONE;
      glGetActiveUniform(program->id, static_cast<GLuint>(i), sizeof(name), nullptr, &size, &type, name);
      GlVariable* variable = effect->FindVariable(name);
      if (!variable || GlType(variable->Type()) != type) {
        Error(pass.line, "pass '" + pass.name + "' uses uniform '" + name +
                             "', which is not declared in a shared block; effect variables are declared there");
        ok = false;
        continue;
      }
      const GLint location = glGetUniformLocation(program->id, name);
      variable->ReadInitialValue(program->id, location);
      if (variable->Type() == UniformType::Sampler2D) glUniform1i(location, variable->TextureUnit());
      program->uniforms.push_back({variable, location, variable->Version()});
    }
    return ok;
  }

  const EffectDescription& description;
  std::string* errors;
  bool failed = false;
  std::map<std::string, GLuint> vertexShaders;
  std::map<std::string, GLuint> fragmentShaders;
};

}  // namespace

bool EffectsNeedDepthRemap() { return depthRemapNeeded.load(); }

void SetEffectsNeedDepthRemap(bool remap) { depthRemapNeeded.store(remap); }

Result CompileEffect(const EffectDescription& description, std::unique_ptr<Effect>* effect, std::string* errors) {
  if (!effect) return kInvalidArgument;
  effect->reset();
  EffectCompiler compiler(description, errors);
  return compiler.Compile(effect);
}

namespace {

// The whole of a file; false with what failed in error.
bool ReadWholeFile(const std::string& path, std::string* text, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::ostringstream contents;
  contents << file.rdbuf();
  if (file.bad()) {
    *error = "cannot read " + path;
    return false;
  }
  *text = contents.str();
  return true;
}

Result CreateEffectFromText(const std::string& text, const std::string& sourceName,
                            const SharedFileReader& readSharedFile, std::unique_ptr<Effect>* effect,
                            std::string* errors) {
  if (!effect) return kInvalidArgument;
  effect->reset();
  EffectDescription description;
  if (!ParseEffect(text, sourceName, &description, errors, readSharedFile)) return kFail;
  return CompileEffect(description, effect, errors);
}

}  // namespace

Result CreateEffectFromMemory(GraphicsDevice*, const std::string& text, const std::string& sourceName,
                              std::unique_ptr<Effect>* effect, std::string* errors) {
  return CreateEffectFromText(text, sourceName, nullptr, effect, errors);
}

Result CreateEffectFromFile(GraphicsDevice*, const std::string& path, std::unique_ptr<Effect>* effect,
                            std::string* errors) {
  if (!effect) return kInvalidArgument;
  effect->reset();
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    const int error = errno;
    if (errors) *errors += path + ": cannot open the effect file: " + std::strerror(error) + "\n";
    return kFileNotFound;
  }
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) {
    if (errors) *errors += path + ": cannot read the effect file\n";
    return kFail;
  }
  // Shared files lie beside the effect file.
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  const SharedFileReader readSharedFile = [&folder](const std::string& name, std::string* code, std::string* error) {
    return ReadWholeFile((folder / name).string(), code, error);
  };
  return CreateEffectFromText(text.str(), path, readSharedFile, effect, errors);
}

Effect& NullEffect() {
  static NullEffectImpl effect;
  return effect;
}

}  // namespace Platform
