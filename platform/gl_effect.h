#pragma once

#include <memory>
#include <string>

#include "platform/effect.h"
#include "platform/effect_parser.h"

// The OpenGL side of effects: each pass a linked program, variables kept on the CPU and uploaded
// to a program only when they changed since it last saw them. Everything here runs on the thread
// whose GL context is current, which must be the device's.
namespace Platform {

// Whether vertex programs must turn the 0..1 clip depth that the matrices make into GL's -1..1
// themselves, for contexts that cannot be told to clip at 0..1. Read when an effect is compiled;
// false until the device says otherwise.
bool EffectsNeedDepthRemap();
void SetEffectsNeedDepthRemap(bool remap);

// Compiles and links a parsed effect. Failures as for CreateEffectFromMemory.
Result CompileEffect(const EffectDescription& description, std::unique_ptr<Effect>* effect, std::string* errors);

}  // namespace Platform
