#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gpu_resources.h"
#include "platform/result.h"

// Effects: GLSL programs grouped into techniques made of passes, each pass with its render state
// (blending, depth test and write, culling), read from the text format described in
// docs/effects.md. Variables are set by name on the effect and reach a pass's program when the
// pass is applied. Looking up something absent gives an inert object whose setters do nothing,
// so callers may bind once and stay safe even when an effect failed to load.
namespace Platform {

class GraphicsDevice;

class EffectVariable {
public:
  virtual ~EffectVariable() = default;
  virtual bool IsValid() const = 0;
  virtual const std::string& Name() const = 0;

  virtual Result SetFloat(float value) = 0;
  virtual Result SetInt(int32_t value) = 0;
  // Up to four floats (a float, vec2, vec3 or vec4 variable takes as many as it has).
  virtual Result SetFloatVector(const float* values, uint32_t count) = 0;
  // A 4x4 matrix in row-vector convention (row 3 holds the translation), as the math module
  // makes them.
  virtual Result SetMatrix(const float* matrix16) = 0;
  // Binds a texture to a sampler variable; null unbinds it (the shader then reads 0, 0, 0, 1).
  virtual Result SetResource(ShaderResourceView* view) = 0;
};

class EffectPass {
public:
  virtual ~EffectPass() = default;
  virtual bool IsValid() const = 0;
  virtual const std::string& Name() const = 0;
  // The inputs of the pass's vertex program.
  virtual const InputSignature& Signature() const = 0;
  // Makes the pass's program current with the variables' current values and sets its render
  // state.
  virtual Result Apply() = 0;
};

class EffectTechnique {
public:
  virtual ~EffectTechnique() = default;
  virtual bool IsValid() const = 0;
  virtual const std::string& Name() const = 0;
  virtual uint32_t PassCount() const = 0;
  // An inert pass when the index is out of range.
  virtual EffectPass* PassByIndex(uint32_t index) = 0;
};

class Effect {
public:
  virtual ~Effect() = default;
  // An inert technique or variable when the name is unknown.
  virtual EffectTechnique* TechniqueByName(const std::string& name) = 0;
  virtual EffectVariable* VariableByName(const std::string& name) = 0;
  virtual uint32_t TechniqueCount() const = 0;
};

// Reads and compiles an effect. On failure returns a negative result, leaves effect empty and
// fills errors (when given) with messages of the form "file:line: what went wrong".
Result CreateEffectFromFile(GraphicsDevice* device, const std::string& path, std::unique_ptr<Effect>* effect,
                            std::string* errors);
// sourceName names the text in messages.
Result CreateEffectFromMemory(GraphicsDevice* device, const std::string& text, const std::string& sourceName,
                              std::unique_ptr<Effect>* effect, std::string* errors);

// An effect that holds nothing: every lookup gives inert objects. Callers keep one in place of an
// effect that did not load.
Effect& NullEffect();

}  // namespace Platform
