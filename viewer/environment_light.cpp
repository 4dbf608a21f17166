#include "viewer/environment_light.h"

#include <cstring>
#include <vector>

#include "platform/gl_textures.h"
#include "viewer/environment_brdf_table.h"

namespace Viewer {

Platform::Result EnvironmentLight::Load(Platform::GraphicsDevice&, const std::string& path, std::string* problems) {
  RadianceMap source;
  std::string error;
  if (!ReadRadianceMap(path, &source, &error)) {
    *problems += "environment: " + error + "\n";
    return Platform::kFail;
  }
  // A second worker is only worth it when a second core is there; the pool is made once.
  if (pool.WorkerCount() == 0) pool.CreateForProcessors(0);
  return Upload(PrepareEnvironment(source, pool.WorkerCount() > 0 ? &pool : nullptr), problems);
}

Platform::Result EnvironmentLight::EnsureBrdfTable(std::string* problems) {
  if (brdf) return Platform::kOk;
  const BrdfTable table = MakeBrdfTable();
  std::string error;
  const Platform::Result result = Platform::CreateFloatLevelsTexture(
      2, {{table.size, table.size, table.scaleBias.data()}}, false, &brdf, &error);
  if (Platform::Failed(result)) *problems += "environment: the split-sum table: " + error + "\n";
  return result;
}

Platform::Result EnvironmentLight::Upload(const PreparedEnvironment& prepared, std::string* problems) {
  const Platform::Result tableResult = EnsureBrdfTable(problems);
  if (Platform::Failed(tableResult)) return tableResult;
  std::vector<Platform::FloatTextureLevel> levels;
  for (const RadianceMap& level : prepared.specular) levels.push_back({level.width, level.height, level.rgb.data()});
  std::unique_ptr<Platform::ShaderResourceView> view;
  std::string error;
  const Platform::Result result = Platform::CreateFloatLevelsTexture(3, levels, true, &view, &error);
  if (Platform::Failed(result)) {
    *problems += "environment: the specular map: " + error + "\n";
    return result;
  }
  specular = std::move(view);
  specularLevels = uint32_t(levels.size());
  std::memcpy(diffuse, prepared.diffuse, sizeof diffuse);
  mainLightDirection = prepared.mainLightDirection;
  mainLightColor = prepared.mainLightColor;
  return Platform::kOk;
}

void EnvironmentLight::Release() {
  specular.reset();
  brdf.reset();
  specularLevels = 0;
}

void EnvironmentLight::SetOn(Platform::Effect& effect) const {
  effect.VariableByName("g_EnvironmentSpecular")->SetResource(specular.get());
  effect.VariableByName("g_EnvironmentBrdf")->SetResource(brdf.get());
  effect.VariableByName("g_fEnvironmentSpecularLevels")->SetFloat(specularLevels > 0 ? float(specularLevels - 1) : 0.0f);
  for (int k = 0; k < 9; ++k) {
    effect.VariableByName("g_vEnvironmentDiffuse" + std::to_string(k))->SetFloatVector(diffuse[k], 3);
  }
  const float direction[3] = {mainLightDirection.x, mainLightDirection.y, mainLightDirection.z};
  const float color[3] = {mainLightColor.x, mainLightColor.y, mainLightColor.z};
  effect.VariableByName("g_vEnvironmentLightDirection")->SetFloatVector(direction, 3);
  effect.VariableByName("g_vEnvironmentLightColor")->SetFloatVector(color, 3);
  effect.VariableByName("g_fEnvironmentIntensity")->SetFloat(intensity);
  effect.VariableByName("g_fEnvironmentRotation")->SetFloat(rotation);
}

}  // namespace Viewer
