#include "app/scene_rendering.h"

#include <cstdio>
#include <string>

#include "app/application_state.h"
#include "app/control_ids.h"
#include "app/mask_folder.h"
#include "app/simulation_control.h"
#include "framework/framework.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_slider.h"
#include "platform/matrix_math.h"
#include "viewer/device_vertex.h"

namespace {

constexpr Platform::InputElement kPointElements[] = {
    {"POSITION", 0, Platform::Format::R32G32B32_FLOAT, 0},
    {"COLOR", 0, Platform::Format::R32G32B32A32_FLOAT, 12},
};
constexpr uint32_t kPointStride = 28;

Platform::Result LoadEffect(Platform::GraphicsDevice* device, const char* name, std::unique_ptr<Platform::Effect>* effect) {
  const std::string path = ShippedMediaFile(App().mediaFolder, name);
  if (path.empty()) {
    std::fprintf(stderr, "patinex: the effect %s was not found; nothing is drawn with it\n", name);
    return kFrameworkMediaNotFound;
  }
  std::string errors;
  const Platform::Result result = Platform::CreateEffectFromFile(device, path, effect, &errors);
  if (Platform::Failed(result)) std::fprintf(stderr, "patinex: the effect %s did not compile:\n%s\n", path.c_str(), errors.c_str());
  return result;
}

void LoadTexture(Platform::GraphicsDevice* device, const char* name, std::unique_ptr<Platform::ShaderResourceView>* view) {
  const std::string path = ShippedMediaFile(App().mediaFolder, name);
  if (!path.empty()) device->CreateTextureFromFile(path, view);
}

void BindMeshEffect(Platform::Effect& effect) {
  MeshEffectBindings& b = App().mesh;
  b.shaded = effect.TechniqueByName("Shaded");
  b.dirt = effect.TechniqueByName("Dirt");
  b.rust = effect.TechniqueByName("Rust");
  b.baseDiffuse = effect.VariableByName("BaseDiffuse");
  b.baseNrm = effect.VariableByName("BaseNrm");
  b.rustDiffuse = effect.VariableByName("RustDiffuse");
  b.rustNrm = effect.VariableByName("RustNrm");
  b.rustMask = effect.VariableByName("RustMask");
  b.dirtMask = effect.VariableByName("DirtMask");
  b.materialAmbient = effect.VariableByName("g_vMaterialAmbient");
  b.materialDiffuse = effect.VariableByName("g_vMaterialDiffuse");
  b.materialSpecular = effect.VariableByName("g_vMaterialSpecular");
  b.materialAlpha = effect.VariableByName("g_fMaterialAlpha");
  b.materialShininess = effect.VariableByName("g_nMaterialShininess");
  b.lightColor = effect.VariableByName("g_vLightColor");
  b.lightPositionMain = effect.VariableByName("g_vLightPositionMain");
  b.lightPositionFill = effect.VariableByName("g_vLightPositionFill");
  b.cameraPosition = effect.VariableByName("g_vCameraPosition");
  b.world = effect.VariableByName("g_mWorld");
  b.worldViewProjection = effect.VariableByName("g_mWorldViewProjection");
  b.dirtColor = effect.VariableByName("DirtColor");
  b.ks = effect.VariableByName("Ks");
  b.bump = effect.VariableByName("Bump");
  b.dirtFactor = effect.VariableByName("DirtFactor");
  b.rustFactor = effect.VariableByName("RustFactor");
}

void BindPointEffect(Platform::Effect& effect) {
  PointEffectBindings& b = App().points;
  b.pointColor = effect.TechniqueByName("PointColor");
  b.world = effect.VariableByName("g_mWorld");
  b.worldViewProjection = effect.VariableByName("g_mWorldViewProjection");
}

}  // namespace

float StrengthFactor(int sliderId) {
  const CUISlider* slider = App().simulationPanel.GetSlider(sliderId);
  return slider ? float(slider->GetValue()) * 0.01f : 0.0f;
}

Platform::Effect& MeshEffect() { return App().meshEffect ? *App().meshEffect : Platform::NullEffect(); }

Platform::Result LoadMeshEffect(Platform::GraphicsDevice* device) {
  ApplicationState& app = App();
  BindMeshEffect(Platform::NullEffect());
  Platform::Result result = LoadEffect(device, "drawmesh.fx", &app.meshEffect);
  if (Platform::Failed(result)) return result;
  BindMeshEffect(*app.meshEffect);
  app.mesh.bump->SetFloat(1.0f);
  app.mesh.dirtColor->SetFloat(0.3f);
  app.mesh.ks->SetFloat(0.4f);
  LoadTexture(device, "tex_base.jpg", &app.baseTexture);
  LoadTexture(device, "tex_base_NRM.jpg", &app.baseNormalTexture);
  LoadTexture(device, "tex_patina.jpg", &app.patinaTexture);
  LoadTexture(device, "tex_patina_NRM.jpg", &app.patinaNormalTexture);
  return device->CreateInputLayout(Viewer::kDeviceVertexElements, Viewer::kDeviceVertexElementCount,
                                   app.mesh.shaded->PassByIndex(0)->Signature(), &app.meshLayout);
}

Platform::Result LoadPointEffect(Platform::GraphicsDevice* device) {
  ApplicationState& app = App();
  BindPointEffect(Platform::NullEffect());
  Platform::Result result = LoadEffect(device, "drawparticles.fx", &app.pointEffect);
  if (Platform::Failed(result)) return result;
  BindPointEffect(*app.pointEffect);
  return device->CreateInputLayout(kPointElements, 2, app.points.pointColor->PassByIndex(0)->Signature(),
                                   &app.pointLayout);
}

void ReleaseSceneResources() {
  ApplicationState& app = App();
  app.meshLayout.reset();
  BindMeshEffect(Platform::NullEffect());
  BindPointEffect(Platform::NullEffect());
  app.meshEffect.reset();
  app.pointLayout.reset();
  app.pointEffect.reset();
  app.baseTexture.reset();
  app.baseNormalTexture.reset();
  app.patinaTexture.reset();
  app.patinaNormalTexture.reset();
  ReleaseMaskViews();
}

void DrawSubset(uint32_t i) {
  ApplicationState& app = App();
  const Viewer::DeviceMaterial& material = app.renderMesh->GetSubsetMaterial(i);
  MeshEffectBindings& b = app.mesh;
  b.materialAmbient->SetFloatVector(&material.ambient.x, 3);
  b.materialDiffuse->SetFloatVector(&material.diffuse.x, 3);
  b.materialSpecular->SetFloatVector(&material.specular.x, 3);
  b.materialAlpha->SetFloat(material.alpha);
  b.materialShininess->SetInt(material.shininess);
  const CUIComboBox* view = app.simulationPanel.GetComboBox(ID_VIEW);
  Platform::EffectTechnique* technique = nullptr;
  switch (view ? view->GetSelectedIndex() : -1) {
    case 0: technique = b.shaded; break;
    case 1: technique = b.dirt; break;
    case 2: technique = b.rust; break;
    default: return;
  }
  for (uint32_t p = 0; p < technique->PassCount(); ++p) {
    technique->PassByIndex(p)->Apply();
    app.renderMesh->DrawSubset(i);
  }
}

void DrawPoints(Platform::GraphicsDevice* device) {
  ApplicationState& app = App();
  device->SetInputLayout(app.pointLayout.get());
  device->SetVertexBuffer(app.sampleVertexBuffer.get(), kPointStride, 0);
  device->SetPrimitiveTopology(Platform::PrimitiveTopology::PointList);
  Platform::EffectTechnique* technique = app.points.pointColor;
  for (uint32_t p = 0; p < technique->PassCount(); ++p) {
    technique->PassByIndex(p)->Apply();
    device->Draw(app.sampleMap->Count(), 0);
  }
  device->SetInputLayout(nullptr);
}

void OnFrameRender(Platform::GraphicsDevice* device, double, float elapsedSeconds, void*) {
  ApplicationState& app = App();
  if (app.simulationFinished.load(std::memory_order_acquire) != 0) CollectFinishedRun();
  ScopedLock ui(UiLock());
  const float grey[4] = {0.3f, 0.3f, 0.3f, 1.0f};
  device->SetRenderTargets(FrameworkGetBackBufferView(), FrameworkGetDepthStencilView());
  device->ClearRenderTargetView(FrameworkGetBackBufferView(), grey);
  device->ClearDepthStencilView(FrameworkGetDepthStencilView(), 1.0f);
  // The settings dialog replaces the scene. The back buffer is cleared first: after a swap its
  // contents are undefined, and the dialog would be drawn over whatever they happen to be.
  if (app.settingsDialog.IsActive()) {
    app.settingsDialog.Render(elapsedSeconds);
    return;
  }
  const Platform::Matrix& world = app.camera.GetWorldMatrix();
  const Platform::Matrix viewProjection = app.camera.GetViewMatrix() * app.camera.GetProjMatrix();
  {
    ScopedLock model(ModelLock());
    if (app.showSamples == 0 && app.renderMesh && app.meshLayout) {
      MeshEffectBindings& b = app.mesh;
      b.worldViewProjection->SetMatrix(viewProjection.Data());
      b.world->SetMatrix(world.Data());
      const Platform::Float3& eye = app.camera.GetEyePt();
      const float eyePosition[3] = {eye.x, eye.y, eye.z};
      b.cameraPosition->SetFloatVector(eyePosition, 3);
      b.baseDiffuse->SetResource(app.baseTexture.get());
      b.baseNrm->SetResource(app.baseNormalTexture.get());
      b.rustDiffuse->SetResource(app.patinaTexture.get());
      b.rustNrm->SetResource(app.patinaNormalTexture.get());
      b.rustMask->SetResource(app.rustMaskView.get());
      b.dirtMask->SetResource(app.dirtMaskView.get());
      b.dirtFactor->SetFloat(StrengthFactor(ID_DIRT_FACTOR));
      b.rustFactor->SetFloat(StrengthFactor(ID_RUST_FACTOR));
      device->SetInputLayout(app.meshLayout.get());
      for (uint32_t i = 0; i < app.renderMesh->SubsetCount(); ++i) DrawSubset(i);
      device->SetInputLayout(nullptr);
    }
  }
  {
    ScopedLock samples(SampleLock());
    if (app.showSamples == 1 && app.sampleMap && app.sampleVertexBuffer && app.pointLayout) {
      app.points.worldViewProjection->SetMatrix(viewProjection.Data());
      app.points.world->SetMatrix(world.Data());
      DrawPoints(device);
    }
  }
  app.devicePanel.Render(elapsedSeconds);
  app.parametersPanel.Render(elapsedSeconds);
  app.simulationPanel.Render(elapsedSeconds);
}
