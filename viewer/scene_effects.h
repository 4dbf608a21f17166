#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <type_traits>

#include "assetexport/look.h"
#include "platform/effect.h"
#include "platform/gpu_resources.h"
#include "platform/graphics_device.h"
#include "viewer/device_mesh.h"
#include "viewer/environment_light.h"
#include "viewer/look_texture_cache.h"
#include "viewer/scene_placement.h"

// The two effects a model is drawn with, both compiled from the media folder: the mesh effect
// (drawmesh.fx) and the point effect (drawparticles.fx). Until one loads, its lookups go to the
// null effect and it draws nothing; a failed load leaves nothing loaded and says why in problems.
namespace Viewer {

// The patina of one step: its rust, dirt and humidity masks, one of each a mask space (any may be
// missing: it reads 0), the space each material's masks are in (by material index; a material
// past the list, or faces without one, are in space 0), and how much of each mask shows, 0 to 1.
struct PatinaMasks {
  std::span<Platform::ShaderResourceView* const> rust;
  std::span<Platform::ShaderResourceView* const> dirt;
  std::span<const int32_t> spaceOfMaterial;
  float rustFactor = 1.0f;
  float dirtFactor = 1.0f;
  // Last, so that the masks of a look without a humidity layer are given as before.
  std::span<Platform::ShaderResourceView* const> humidity = {};
  float humidityFactor = 1.0f;

  // The masks a material's faces read (attribute: its material index); null where its space has
  // none.
  Platform::ShaderResourceView* RustOf(uint32_t attribute) const { return InSpace(rust, attribute); }
  Platform::ShaderResourceView* DirtOf(uint32_t attribute) const { return InSpace(dirt, attribute); }
  Platform::ShaderResourceView* HumidityOf(uint32_t attribute) const { return InSpace(humidity, attribute); }

private:
  Platform::ShaderResourceView* InSpace(std::span<Platform::ShaderResourceView* const> views, uint32_t attribute) const {
    const size_t space = attribute < spaceOfMaterial.size() ? size_t(std::max(spaceOfMaterial[attribute], 0)) : 0;
    return space < views.size() ? views[space] : nullptr;
  }
};

// The model's aged material: its own metallic-roughness material, or the look's base where it has
// none, with the look's layers over it by the masks, lit by the environment.
class MeshEffect {
public:
  MeshEffect() { Bind(Platform::NullEffect()); }

  // Also sets the fixed relief (Bump 1), shows the shipped bronze (UseLook; a texture that does
  // not load stays unbound and is named in problems) and makes the mesh layout.
  Platform::Result Load(Platform::GraphicsDevice& device, const std::string& mediaFolder, std::string* problems);
  void Release();

  // The look the Shaded view and the aged techniques show from the next draw on, until another
  // one or the next Load (which shows the bronze again). Its textures are loaded once a file (see
  // LookTextureCache) and resolved in the media folder of Load. A texture that does not load, or
  // layers past kMaxLookLayers, leave the rest of the look shown, that texture unbound (white, or
  // a flat normal) or those layers out; they are named in problems and the result is a failure.
  Platform::Result UseLook(const AssetExport::Look& look, std::string* problems);

  // The technique of a view (0 Shaded, 1 Dirt, 2 Rust; none for another view), or by name.
  Platform::EffectTechnique* ViewTechnique(int view) const;
  Platform::EffectTechnique* TechniqueByName(const std::string& name) const { return bound->TechniqueByName(name); }
  // The technique a subset of this material is drawn with for `technique`: its twin named after it
  // with "Own" where the material is the model's own, then "Extras" for a subset with vertex
  // extras, "Blend" for a blended material and "Culled" for a one-sided one; the most particular
  // twin the effect has, else the technique itself.
  Platform::EffectTechnique* MaterialTechnique(const DeviceMaterial& material, Platform::EffectTechnique* technique,
                                               bool extras = false) const;
  // Every material gets the technique it is drawn with in the Shaded view.
  void AssignMaterialTechniques(DeviceMesh& mesh) const;
  void PlaceLights(const ModelBounds& bounds);
  // The environment the Shaded view is lit by from the next draw on (kept by the caller; none
  // leaves the light of the last one set).
  void UseEnvironment(const EnvironmentLight* light) { environment = light; }

  // Draws every subset of the mesh with its material through every pass of the technique (or
  // of its twin for the material, see MaterialTechnique), blended materials after all others.
  // Each subset reads the masks of its material's space; the Dirt and Rust views show a
  // material's own step masks (an aged export's) where masks gives none.
  void Draw(DeviceMesh& mesh, Platform::EffectTechnique* technique, const CameraMatrices& camera,
            const PatinaMasks& masks);

private:
  void Bind(Platform::Effect& target);
  void SetMaterial(const DeviceMaterial& material);
  void DrawSubset(DeviceMesh& mesh, uint32_t subset, Platform::EffectTechnique* technique, const PatinaMasks& masks);
  Platform::EffectTechnique* TwoLayerTwin(Platform::EffectTechnique* technique);

  Platform::GraphicsDevice* device = nullptr;
  std::unique_ptr<Platform::Effect> effect;
  std::unique_ptr<Platform::InputLayout> layout;
  std::unique_ptr<Platform::InputLayout> extrasLayout;  // for subsets with vertex extras
  const EnvironmentLight* environment = nullptr;
  std::string media;  // where the shipped textures a look names are found
  LookTextureCache lookTextures;
  // What a material's or look's missing map reads: white, and a flat normal.
  std::unique_ptr<Platform::ShaderResourceView> white, flatNormal;
  Platform::Effect* bound = nullptr;
  Platform::EffectTechnique *shaded, *dirt, *rust;
  Platform::EffectVariable *rustMask, *dirtMask;
  // The look: its base's maps and values, then its layers' (each vec4 one value of every layer).
  Platform::EffectVariable *lookBaseColorMap, *lookBaseNormalMap, *lookBaseColor, *lookBaseNormalStrength,
      *lookBaseMetallic, *lookBaseRoughness, *lookBaseHasMaps;
  Platform::EffectVariable *layerCount, *layerBlend, *layerFactor, *layerGain, *layerStart, *layerEnd,
      *layerMetallic, *layerRoughness, *layerNormalStrength, *layerHasTexture, *layerHasNormal;
  Platform::EffectVariable *layerColors[AssetExport::kMaxLookLayers], *layerMasks[AssetExport::kMaxLookLayers],
      *layerColorMaps[AssetExport::kMaxLookLayers], *layerNormalMaps[AssetExport::kMaxLookLayers];
  // What the draw needs of the look: its layers drawn and the mask each reads.
  size_t layersShown = 0;
  AssetExport::LookMask layerMaskKinds[AssetExport::kMaxLookLayers] = {};
  // Each technique's twin for looks of up to two layers (itself where the effect has none),
  // found once.
  std::map<const Platform::EffectTechnique*, Platform::EffectTechnique*> twoLayerTwins;
  Platform::EffectVariable *baseColorMap, *metallicRoughnessMap, *normalMap, *occlusionMap, *emissiveMap;
  Platform::EffectVariable *baseColorFactor, *metallicFactor, *roughnessFactor, *normalScale, *occlusionStrength,
      *emissiveFactor;
  Platform::EffectVariable *lightPositionMain, *cameraPosition, *world, *worldViewProjection;
  Platform::EffectVariable *bump, *dirtFactor, *rustFactor;
  Platform::EffectVariable *alphaCutoff, *opaqueAlpha, *twoSided, *normalMapFrameOfItsOwn, *mapOffsetsU, *mapOffsetsV;
  Platform::EffectVariable *mapSetsU[4], *mapSetsV[4];  // metallic-roughness, normal, occlusion, emissive
};

// A point of the points view: its position, the surface's normal there (the point is lit by it)
// and its colour, as the point effect reads them.
struct PointVertex {
  float position[3];
  float normal[3];
  float color[4];
};
static_assert(std::is_trivially_copyable_v<PointVertex>);
static_assert(sizeof(PointVertex) == 40);

inline constexpr Platform::InputElement kPointElements[] = {
    {"POSITION", 0, Platform::Format::R32G32B32_FLOAT, 0},
    {"NORMAL", 0, Platform::Format::R32G32B32_FLOAT, 12},
    {"COLOR", 0, Platform::Format::R32G32B32A32_FLOAT, 24},
};
inline constexpr uint32_t kPointElementCount = 3;

class PointEffect {
public:
  PointEffect() { Bind(Platform::NullEffect()); }

  // Also makes the point layout, and puts the main light where the last PlaceLights put it.
  Platform::Result Load(Platform::GraphicsDevice& device, const std::string& mediaFolder, std::string* problems);
  void Release();
  // The points are lit by the main light of LightsAround.
  void PlaceLights(const ModelBounds& bounds);

  // Draws count points of a buffer of PointVertex, from point first on, through every pass of
  // PointColor.
  void Draw(Platform::Buffer* points, uint32_t count, const CameraMatrices& camera, uint32_t first = 0);

private:
  void Bind(Platform::Effect& target);

  Platform::GraphicsDevice* device = nullptr;
  std::unique_ptr<Platform::Effect> effect;
  std::unique_ptr<Platform::InputLayout> layout;
  Platform::EffectTechnique* pointColor;
  Platform::EffectVariable *world, *worldViewProjection, *lightPositionMain;
  // Kept for the next load: a new device reloads the effect but keeps the model.
  float mainLight[3] = {-20.0f, 20.0f, 20.0f};
};

}  // namespace Viewer
