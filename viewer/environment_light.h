#pragma once

#include "platform/effect.h"

namespace Viewer {

// The light around the model that media/environment_light.glsl gives an effect: what it sees in
// every direction and its main light. This one is a fixed sky, held by the file's own defaults.
class EnvironmentLight {
public:
  // Sets every uniform of environment_light.glsl on the effect; one the effect lacks is skipped.
  void SetOn(Platform::Effect& effect) const;
};

}  // namespace Viewer
