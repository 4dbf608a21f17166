#include "viewer/scene_effects.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

#include "assetexport/aged_look.h"
#include "shipped_media/shipped_files.h"
#include "viewer/device_vertex.h"

namespace Viewer {
namespace {

constexpr const char* kLayerColors[AssetExport::kMaxLookLayers] = {"Layer0Color", "Layer1Color", "Layer2Color",
                                                                   "Layer3Color"};
constexpr const char* kLayerMasks[AssetExport::kMaxLookLayers] = {"Layer0Mask", "Layer1Mask", "Layer2Mask",
                                                                  "Layer3Mask"};
constexpr const char* kLayerColorMaps[AssetExport::kMaxLookLayers] = {"Layer0Texture", "Layer1Texture", "Layer2Texture",
                                                                      "Layer3Texture"};
constexpr const char* kLayerNormalMaps[AssetExport::kMaxLookLayers] = {"Layer0Normal", "Layer1Normal", "Layer2Normal",
                                                                       "Layer3Normal"};
constexpr const char* kMapSetsU[4] = {"MetallicRoughnessSetsU", "NormalSetsU", "OcclusionSetsU", "EmissiveSetsU"};
constexpr const char* kMapSetsV[4] = {"MetallicRoughnessSetsV", "NormalSetsV", "OcclusionSetsV", "EmissiveSetsV"};

Platform::Result LoadEffect(Platform::GraphicsDevice& device, const std::string& mediaFolder, const char* name,
                            std::unique_ptr<Platform::Effect>* effect, std::string* problems) {
  const std::string path = ShippedMedia::ShippedFileIn(mediaFolder, name);
  if (path.empty()) {
    *problems += std::string("the effect ") + name + " was not found: there is no media folder\n";
    return Platform::kFileNotFound;
  }
  std::string errors;
  const Platform::Result result = Platform::CreateEffectFromFile(&device, path, effect, &errors);
  if (Platform::Failed(result)) *problems += "the effect " + path + " did not load:\n" + errors + "\n";
  return result;
}

Platform::Result MakeLayout(Platform::GraphicsDevice& device, const Platform::InputElement* elements, uint32_t count,
                            Platform::EffectTechnique* technique, std::unique_ptr<Platform::InputLayout>* layout,
                            std::string* problems) {
  const Platform::Result result =
      device.CreateInputLayout(elements, count, technique->PassByIndex(0)->Signature(), layout);
  if (Platform::Failed(result)) *problems += "the vertices do not fit the technique " + technique->Name() + "\n";
  return result;
}

}  // namespace

void MeshEffect::Bind(Platform::Effect& target) {
  bound = &target;
  shaded = target.TechniqueByName("Shaded");
  dirt = target.TechniqueByName("Dirt");
  rust = target.TechniqueByName("Rust");
  const std::pair<Platform::EffectVariable**, const char*> variables[] = {
      {&rustMask, "RustMask"}, {&dirtMask, "DirtMask"}, {&baseColorMap, "BaseColorMap"},
      {&metallicRoughnessMap, "MetallicRoughnessMap"}, {&normalMap, "NormalMap"}, {&occlusionMap, "OcclusionMap"},
      {&emissiveMap, "EmissiveMap"}, {&baseColorFactor, "BaseColorFactor"}, {&metallicFactor, "MetallicFactor"},
      {&roughnessFactor, "RoughnessFactor"}, {&normalScale, "NormalScale"}, {&occlusionStrength, "OcclusionStrength"},
      {&emissiveFactor, "EmissiveFactor"}, {&lightPositionMain, "g_vLightPositionMain"},
      {&cameraPosition, "g_vCameraPosition"}, {&world, "g_mWorld"}, {&worldViewProjection, "g_mWorldViewProjection"},
      {&bump, "Bump"}, {&dirtFactor, "DirtFactor"}, {&rustFactor, "RustFactor"},
      {&lookBaseColorMap, "BaseDiffuse"}, {&lookBaseNormalMap, "BaseNrm"}, {&lookBaseColor, "BaseColor"},
      {&lookBaseNormalStrength, "BaseNormalStrength"}, {&lookBaseMetallic, "BaseMetallic"},
      {&lookBaseRoughness, "BaseRoughness"}, {&lookBaseHasMaps, "BaseHasMaps"}, {&layerCount, "LayerCount"},
      {&layerBlend, "LayerBlend"}, {&layerFactor, "LayerFactor"}, {&layerGain, "LayerGain"}, {&layerStart, "LayerStart"},
      {&layerEnd, "LayerEnd"}, {&layerMetallic, "LayerMetallic"}, {&layerRoughness, "LayerRoughness"},
      {&layerNormalStrength, "LayerNormalStrength"}, {&layerHasTexture, "LayerHasTexture"},
      {&layerHasNormal, "LayerHasNormal"}};
  for (const auto& [variable, name] : variables) *variable = target.VariableByName(name);
  twoLayerTwins.clear();
  for (size_t i = 0; i < AssetExport::kMaxLookLayers; ++i) {
    layerColors[i] = target.VariableByName(kLayerColors[i]);
    layerMasks[i] = target.VariableByName(kLayerMasks[i]);
    layerColorMaps[i] = target.VariableByName(kLayerColorMaps[i]);
    layerNormalMaps[i] = target.VariableByName(kLayerNormalMaps[i]);
  }
  alphaCutoff = target.VariableByName("AlphaCutoff");
  opaqueAlpha = target.VariableByName("OpaqueAlpha");
  twoSided = target.VariableByName("TwoSided");
  normalMapFrameOfItsOwn = target.VariableByName("NormalMapFrameOfItsOwn");
  mapOffsetsU = target.VariableByName("MapOffsetsU");
  mapOffsetsV = target.VariableByName("MapOffsetsV");
  for (int i = 0; i < 4; ++i) {
    mapSetsU[i] = target.VariableByName(kMapSetsU[i]);
    mapSetsV[i] = target.VariableByName(kMapSetsV[i]);
  }
}

Platform::Result MeshEffect::Load(Platform::GraphicsDevice& target, const std::string& mediaFolder,
                                  std::string* problems) {
  Release();
  Platform::Result result = LoadEffect(target, mediaFolder, ShippedMedia::kMeshEffect, &effect, problems);
  if (Platform::Failed(result)) return result;
  device = &target;
  media = mediaFolder;
  Bind(*effect);
  bump->SetFloat(AssetExport::AgedLook::kWindowBump);
  const float whiteTexel[4] = {1.0f, 1.0f, 1.0f, 1.0f}, flatTexel[4] = {0.5f, 0.5f, 1.0f, 1.0f};
  if (Platform::Failed(target.CreateTextureFromFloatRGBA(1, 1, whiteTexel, &white)) ||
      Platform::Failed(target.CreateTextureFromFloatRGBA(1, 1, flatTexel, &flatNormal))) {
    *problems += "the stand-ins for missing material maps could not be made\n";
  }
  // The bronze's textures missing leave the window drawing: only they are left out.
  UseLook(AssetExport::BronzeLook(), problems);
  result = MakeLayout(target, kDeviceVertexElements, kDeviceVertexElementCount, shaded, &layout, problems);
  if (Platform::Succeeded(result)) {
    // Made for the vertex program that reads the extras; an effect without one draws subsets with
    // extras through the plain layout, whose attributes sit where they do in a plain vertex.
    Platform::EffectTechnique* extras = effect->TechniqueByName("ShadedOwnExtras");
    if (extras->IsValid()) {
      result = MakeLayout(target, kDeviceVertexWithExtrasElements, kDeviceVertexWithExtrasElementCount, extras,
                          &extrasLayout, problems);
    }
  }
  if (Platform::Failed(result)) Release();
  return result;
}

void MeshEffect::Release() {
  layout.reset();
  extrasLayout.reset();
  Bind(Platform::NullEffect());
  effect.reset();
  lookTextures.Release();
  white.reset();
  flatNormal.reset();
  device = nullptr;
}

Platform::Result MeshEffect::UseLook(const AssetExport::Look& look, std::string* problems) {
  if (device == nullptr) {
    *problems += "the look " + look.name + " is not shown: the mesh effect is not loaded\n";
    return Platform::kFail;
  }
  Platform::Result result = Platform::kOk;
  // Binds a surface's map (the stand-in where it names none or it does not load); 1 where its own
  // is bound, which the effect reads to leave the stand-in out.
  auto bindMap = [&](const std::string& name, Platform::EffectVariable* variable,
                     const std::unique_ptr<Platform::ShaderResourceView>& standIn) {
    Platform::ShaderResourceView* view = nullptr;
    if (!name.empty()) {
      view = lookTextures.Get(*device, media, name, problems);
      if (view == nullptr) result = Platform::kFileNotFound;
    }
    variable->SetResource(view != nullptr ? view : standIn.get());
    return view != nullptr ? 1.0f : 0.0f;
  };

  // A look of the model's own base gives the faces without a material its plain colour.
  const AssetExport::LookSurface& base = look.base;
  const float baseHasMaps[2] = {
      bindMap(look.ownBase ? std::string() : base.texture, lookBaseColorMap, white),
      bindMap(look.ownBase ? std::string() : base.normalTexture, lookBaseNormalMap, flatNormal)};
  lookBaseHasMaps->SetFloatVector(baseHasMaps, 2);
  lookBaseColor->SetFloatVector(base.color.data(), 3);
  lookBaseNormalStrength->SetFloat(base.normalStrength);
  lookBaseMetallic->SetFloat(base.metallic);
  lookBaseRoughness->SetFloat(base.roughness);

  const size_t count = std::min(look.layers.size(), AssetExport::kMaxLookLayers);
  if (look.layers.size() > count) {
    *problems += "the look " + look.name + " has " + std::to_string(look.layers.size()) + " layers: only the first " +
                 std::to_string(count) + " are drawn\n";
    result = Platform::kInvalidArgument;
  }
  float blend[4] = {}, gain[4] = {}, start[4] = {}, end[4] = {1.0f, 1.0f, 1.0f, 1.0f}, metallic[4] = {},
        roughness[4] = {}, normalStrength[4] = {}, hasTexture[4] = {}, hasNormal[4] = {};
  for (size_t i = 0; i < AssetExport::kMaxLookLayers; ++i) {
    if (i >= count) {
      // Layers past the look's are not drawn; every sampler still reads a texture.
      layerColorMaps[i]->SetResource(white.get());
      layerNormalMaps[i]->SetResource(flatNormal.get());
      continue;
    }
    const AssetExport::LookLayer& layer = look.layers[i];
    blend[i] = layer.blend == AssetExport::LookBlend::kMultiply ? 1.0f : 0.0f;
    layerMaskKinds[i] = layer.mask;
    gain[i] = layer.gain;
    start[i] = layer.start;
    end[i] = layer.end;
    metallic[i] = layer.surface.metallic;
    roughness[i] = layer.surface.roughness;
    normalStrength[i] = layer.surface.normalStrength;
    hasTexture[i] = bindMap(layer.surface.texture, layerColorMaps[i], white);
    hasNormal[i] = bindMap(layer.surface.normalTexture, layerNormalMaps[i], flatNormal);
    layerColors[i]->SetFloatVector(layer.surface.color.data(), 3);
  }
  layersShown = count;
  layerCount->SetInt(int32_t(count));
  const std::pair<Platform::EffectVariable*, const float*> layerValues[] = {
      {layerBlend, blend}, {layerGain, gain}, {layerStart, start}, {layerEnd, end},
      {layerMetallic, metallic}, {layerRoughness, roughness}, {layerNormalStrength, normalStrength},
      {layerHasTexture, hasTexture}, {layerHasNormal, hasNormal}};
  for (const auto& [variable, values] : layerValues) variable->SetFloatVector(values, 4);
  return result;
}

Platform::EffectTechnique* MeshEffect::ViewTechnique(int view) const {
  switch (view) {
    case 0: return shaded;
    case 1: return dirt;
    case 2: return rust;
    default: return nullptr;
  }
}

Platform::EffectTechnique* MeshEffect::MaterialTechnique(const DeviceMaterial& material,
                                                         Platform::EffectTechnique* technique, bool extras) const {
  if (technique == nullptr || !technique->IsValid()) return technique;
  const bool blend = material.ownMaterial && material.alphaMode == RenderLib::AlphaMode::kBlend;
  const bool culled = material.ownMaterial && material.culled;
  // The most particular twin first; the later parts of the name go first.
  for (int own = material.ownMaterial; own >= 0; --own) {
    for (int withExtras = extras; withExtras >= 0; --withExtras) {
      for (int blended = blend; blended >= 0; --blended) {
        for (int cull = culled; cull >= 0; --cull) {
          if (own + withExtras + blended + cull == 0) continue;
          const std::string name = technique->Name() + (own ? "Own" : "") + (withExtras ? "Extras" : "") +
                                   (blended ? "Blend" : "") + (cull ? "Culled" : "");
          Platform::EffectTechnique* twin = bound->TechniqueByName(name);
          if (twin->IsValid()) return twin;
        }
      }
    }
  }
  return technique;
}

void MeshEffect::AssignMaterialTechniques(DeviceMesh& mesh) const {
  for (DeviceMaterial& material : mesh.Materials()) material.technique = MaterialTechnique(material, shaded);
}

void MeshEffect::PlaceLights(const ModelBounds& bounds) {
  const Lights lights = LightsAround(bounds);
  lightPositionMain->SetFloatVector(lights.main, 3);
}

void MeshEffect::SetMaterial(const DeviceMaterial& material) {
  auto mapOr = [](const std::unique_ptr<Platform::ShaderResourceView>& map,
                  const std::unique_ptr<Platform::ShaderResourceView>& standIn) {
    return map != nullptr ? map.get() : standIn.get();
  };
  baseColorMap->SetResource(mapOr(material.textureView, white));
  metallicRoughnessMap->SetResource(mapOr(material.metallicRoughnessView, white));
  normalMap->SetResource(mapOr(material.normalView, flatNormal));
  occlusionMap->SetResource(mapOr(material.occlusionView, white));
  emissiveMap->SetResource(mapOr(material.emissiveView, white));
  baseColorFactor->SetFloatVector(material.baseColorFactor, 4);
  metallicFactor->SetFloat(material.metallic);
  roughnessFactor->SetFloat(material.roughness);
  normalScale->SetFloat(material.normalScale);
  occlusionStrength->SetFloat(material.occlusionStrength);
  emissiveFactor->SetFloatVector(material.emissiveFactor, 3);
  alphaCutoff->SetFloat(material.alphaMode == RenderLib::AlphaMode::kMask ? material.alphaCutoff : -1.0f);
  opaqueAlpha->SetFloat(material.alphaMode == RenderLib::AlphaMode::kBlend ? 0.0f : 1.0f);
  twoSided->SetFloat(material.doubleSided ? 1.0f : 0.0f);
  normalMapFrameOfItsOwn->SetFloat(material.normalMapFrameOfItsOwn ? 1.0f : 0.0f);
  // Each map's transform as weights on (u0, v0, u1, v1) and an offset (see drawmesh.fx).
  float offsetsU[4], offsetsV[4];
  for (int map = 0; map < 4; ++map) {
    const RenderLib::TextureSlot& slot = material.mapSlots[map];
    const RenderLib::TextureTransform& transform = slot.transform;
    const float c = std::cos(transform.rotation), s = std::sin(transform.rotation);
    const int set = slot.texCoord == 1 ? 2 : 0;
    float weightsU[4] = {0.0f, 0.0f, 0.0f, 0.0f}, weightsV[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    weightsU[set] = c * transform.scale[0];
    weightsU[set + 1] = s * transform.scale[1];
    weightsV[set] = -s * transform.scale[0];
    weightsV[set + 1] = c * transform.scale[1];
    mapSetsU[map]->SetFloatVector(weightsU, 4);
    mapSetsV[map]->SetFloatVector(weightsV, 4);
    offsetsU[map] = transform.offset[0];
    offsetsV[map] = transform.offset[1];
  }
  mapOffsetsU->SetFloatVector(offsetsU, 4);
  mapOffsetsV->SetFloatVector(offsetsV, 4);
}

void MeshEffect::Draw(DeviceMesh& mesh, Platform::EffectTechnique* technique, const CameraMatrices& camera,
                      const PatinaMasks& masks) {
  if (layout == nullptr || technique == nullptr) return;
  worldViewProjection->SetMatrix(camera.viewProjection.Data());
  world->SetMatrix(camera.world.Data());
  const float eye[3] = {camera.eye.x, camera.eye.y, camera.eye.z};
  cameraPosition->SetFloatVector(eye, 3);
  dirtFactor->SetFloat(masks.dirtFactor);
  rustFactor->SetFloat(masks.rustFactor);
  float factors[AssetExport::kMaxLookLayers] = {1.0f, 1.0f, 1.0f, 1.0f};
  for (size_t i = 0; i < layersShown; ++i) {
    const AssetExport::LookMask kind = layerMaskKinds[i];
    factors[i] = kind == AssetExport::LookMask::kRust   ? masks.rustFactor
                 : kind == AssetExport::LookMask::kDirt ? masks.dirtFactor
                                                        : masks.humidityFactor;
  }
  layerFactor->SetFloatVector(factors, 4);
  if (environment != nullptr) environment->SetOn(*bound);
  // Blended materials go last, over everything they may show.
  for (const bool blendedPass : {false, true}) {
    for (uint32_t i = 0; i < mesh.SubsetCount(); ++i) {
      const DeviceMaterial& material = mesh.GetSubsetMaterial(i);
      const bool blended = material.ownMaterial && material.alphaMode == RenderLib::AlphaMode::kBlend;
      if (blended == blendedPass) DrawSubset(mesh, i, technique, masks);
    }
  }
  device->SetInputLayout(nullptr);
}

void MeshEffect::DrawSubset(DeviceMesh& mesh, uint32_t subset, Platform::EffectTechnique* technique,
                            const PatinaMasks& masks) {
  const DeviceMaterial& material = mesh.GetSubsetMaterial(subset);
  const AttributeRange& range = mesh.Subset(subset);
  device->SetInputLayout(range.extras && extrasLayout != nullptr ? extrasLayout.get() : layout.get());
  SetMaterial(material);
  Platform::ShaderResourceView* rustView = masks.RustOf(range.attributeId);
  Platform::ShaderResourceView* dirtView = masks.DirtOf(range.attributeId);
  // The masks an aged export carries show in the mask views only: its textures are aged already.
  if (technique == dirt || technique == rust) {
    if (rustView == nullptr) rustView = material.rustMaskView.get();
    if (dirtView == nullptr) dirtView = material.dirtMaskView.get();
  }
  rustMask->SetResource(rustView);
  dirtMask->SetResource(dirtView);
  for (size_t i = 0; i < layersShown; ++i) {
    const AssetExport::LookMask kind = layerMaskKinds[i];
    layerMasks[i]->SetResource(kind == AssetExport::LookMask::kRust   ? rustView
                               : kind == AssetExport::LookMask::kDirt ? dirtView
                                                                      : masks.HumidityOf(range.attributeId));
  }
  Platform::EffectTechnique* used = MaterialTechnique(material, technique, range.extras);
  if (layersShown <= 2) used = TwoLayerTwin(used);
  for (uint32_t p = 0; p < used->PassCount(); ++p) {
    used->PassByIndex(p)->Apply();
    mesh.DrawSubset(subset);
  }
}

Platform::EffectTechnique* MeshEffect::TwoLayerTwin(Platform::EffectTechnique* technique) {
  const auto found = twoLayerTwins.find(technique);
  if (found != twoLayerTwins.end()) return found->second;
  Platform::EffectTechnique* twin = bound->TechniqueByName(technique->Name() + "TwoLayers");
  if (!twin->IsValid()) twin = technique;
  twoLayerTwins.emplace(technique, twin);
  return twin;
}

void PointEffect::Bind(Platform::Effect& target) {
  pointColor = target.TechniqueByName("PointColor");
  world = target.VariableByName("g_mWorld");
  worldViewProjection = target.VariableByName("g_mWorldViewProjection");
  lightPositionMain = target.VariableByName("g_vLightPositionMain");
  lightPositionMain->SetFloatVector(mainLight, 3);
}

void PointEffect::PlaceLights(const ModelBounds& bounds) {
  const Lights lights = LightsAround(bounds);
  std::copy(std::begin(lights.main), std::end(lights.main), mainLight);
  lightPositionMain->SetFloatVector(mainLight, 3);
}

Platform::Result PointEffect::Load(Platform::GraphicsDevice& target, const std::string& mediaFolder,
                                   std::string* problems) {
  Release();
  Platform::Result result = LoadEffect(target, mediaFolder, ShippedMedia::kPointEffect, &effect, problems);
  if (Platform::Failed(result)) return result;
  device = &target;
  Bind(*effect);
  result = MakeLayout(target, kPointElements, kPointElementCount, pointColor, &layout, problems);
  if (Platform::Failed(result)) Release();
  return result;
}

void PointEffect::Release() {
  layout.reset();
  Bind(Platform::NullEffect());
  effect.reset();
  device = nullptr;
}

void PointEffect::Draw(Platform::Buffer* points, uint32_t count, const CameraMatrices& camera, uint32_t first) {
  if (layout == nullptr || points == nullptr) return;
  worldViewProjection->SetMatrix(camera.viewProjection.Data());
  world->SetMatrix(camera.world.Data());
  device->SetInputLayout(layout.get());
  device->SetVertexBuffer(points, sizeof(PointVertex), 0);
  device->SetPrimitiveTopology(Platform::PrimitiveTopology::PointList);
  for (uint32_t p = 0; p < pointColor->PassCount(); ++p) {
    pointColor->PassByIndex(p)->Apply();
    device->Draw(count, first);
  }
  device->SetInputLayout(nullptr);
}

}  // namespace Viewer
