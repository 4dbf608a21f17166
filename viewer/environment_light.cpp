#include "viewer/environment_light.h"

namespace Viewer {

void EnvironmentLight::SetOn(Platform::Effect& effect) const {
  const float sky[3] = {0.50f, 0.58f, 0.72f};
  const float ground[3] = {0.30f, 0.24f, 0.18f};
  const float sunDirection[3] = {-0.5f, 0.6f, 0.6244998f};
  const float sunColor[3] = {2.6f, 2.45f, 2.25f};
  effect.VariableByName("EnvironmentSky")->SetFloatVector(sky, 3);
  effect.VariableByName("EnvironmentGround")->SetFloatVector(ground, 3);
  effect.VariableByName("EnvironmentSunDirection")->SetFloatVector(sunDirection, 3);
  effect.VariableByName("EnvironmentSunColor")->SetFloatVector(sunColor, 3);
}

}  // namespace Viewer
