#include "viewer/environment_background.h"

#include "platform/matrix_math.h"

namespace Viewer {

Platform::Result EnvironmentBackground::Load(Platform::GraphicsDevice& target, const std::string& mediaFolder,
                                             std::string* problems) {
  std::unique_ptr<Platform::Effect> loaded;
  std::string errors;
  const std::string path = mediaFolder + "/environment_background.fx";
  const Platform::Result result = Platform::CreateEffectFromFile(&target, path, &loaded, &errors);
  if (Platform::Failed(result)) {
    *problems += "the effect " + path + " did not load:\n" + errors + "\n";
    return result;
  }
  device = &target;
  effect = std::move(loaded);
  return Platform::kOk;
}

void EnvironmentBackground::Release() {
  effect.reset();
  device = nullptr;
}

void EnvironmentBackground::Draw(const EnvironmentLight& light, const CameraMatrices& camera) {
  if (!effect || !light.IsLoaded()) return;
  light.SetOn(*effect);
  const Platform::Matrix inverse = Platform::MatrixInverse(camera.viewProjection);
  effect->VariableByName("g_mEnvironmentInverseViewProjection")->SetMatrix(inverse.Data());
  const float eye[3] = {camera.eye.x, camera.eye.y, camera.eye.z};
  effect->VariableByName("g_vEnvironmentEye")->SetFloatVector(eye, 3);
  Platform::EffectTechnique* technique = effect->TechniqueByName("Background");
  // The triangle comes from the vertex index alone: no buffer, no layout.
  device->SetInputLayout(nullptr);
  device->SetVertexBuffer(nullptr, 0, 0);
  device->SetPrimitiveTopology(Platform::PrimitiveTopology::TriangleList);
  for (uint32_t p = 0; p < technique->PassCount(); ++p) {
    if (Platform::Succeeded(technique->PassByIndex(p)->Apply())) device->Draw(3, 0);
  }
}

}  // namespace Viewer
