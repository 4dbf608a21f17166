#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/effect.h"
#include "tests/viewer/hidden_device.h"
#include "viewer/device_vertex.h"
#include "viewer/scene_effects.h"

namespace {

// The mesh and point effects compile, and offer every technique and variable the program binds,
// with layouts that fit their vertices.
class EffectFilesTest : public HiddenDevice {
protected:
  void TearDown() override {
    effect.reset();
    HiddenDevice::TearDown();
  }

  void Load(const char* name) {
    std::string errors;
    ASSERT_EQ(Platform::CreateEffectFromFile(device.get(), std::string(PATINEX_SOURCE_DIR "/media/") + name, &effect,
                                             &errors),
              Platform::kOk)
        << errors;
  }

  void ExpectTechniques(std::initializer_list<const char*> names) {
    for (const char* name : names) {
      Platform::EffectTechnique* technique = effect->TechniqueByName(name);
      EXPECT_TRUE(technique->IsValid()) << name;
      EXPECT_GE(technique->PassCount(), 1u) << name;
    }
  }

  void ExpectVariables(std::initializer_list<const char*> names) {
    for (const char* name : names) EXPECT_TRUE(effect->VariableByName(name)->IsValid()) << name;
  }

  std::unique_ptr<Platform::Effect> effect;
};

TEST_F(EffectFilesTest, MeshEffectHasItsTechniquesVariablesAndLayout) {
  Load("drawmesh.fx");
  const auto techniques = {"Shaded",         "ShadedOwn",           "AgedColorMetallic", "AgedColorMetallicOwn",
                           "AgedNormalRoughness", "AgedNormalRoughnessOwn", "Dirt",              "Rust"};
  ExpectTechniques(techniques);
  ExpectVariables({"BaseDiffuse", "BaseNrm", "BaseColor", "BaseHasMaps", "LayerCount", "LayerFactor", "Layer3Color",
                   "Layer3Texture", "Layer3Normal", "Layer3Mask", "RustMask", "DirtMask", "BaseColorMap",
                   "MetallicRoughnessMap", "NormalMap", "OcclusionMap", "EmissiveMap", "BaseColorFactor",
                   "MetallicFactor", "RoughnessFactor", "NormalScale", "OcclusionStrength", "EmissiveFactor",
                   "g_vLightPositionMain", "g_vCameraPosition", "g_mWorld", "g_mWorldViewProjection", "Bump",
                   "DirtFactor", "RustFactor"});
  for (const char* name : techniques) {
    std::unique_ptr<Platform::InputLayout> layout;
    EXPECT_EQ(device->CreateInputLayout(Viewer::kDeviceVertexElements, Viewer::kDeviceVertexElementCount,
                                        effect->TechniqueByName(name)->PassByIndex(0)->Signature(), &layout),
              Platform::kOk)
        << name;
  }
}

TEST_F(EffectFilesTest, PointEffectHasItsTechniqueVariablesAndLayout) {
  Load("drawparticles.fx");
  ExpectTechniques({"PointColor"});
  ExpectVariables({"g_mWorld", "g_mWorldViewProjection"});
  std::unique_ptr<Platform::InputLayout> layout;
  EXPECT_EQ(device->CreateInputLayout(Viewer::kPointElements, Viewer::kPointElementCount,
                                      effect->TechniqueByName("PointColor")->PassByIndex(0)->Signature(), &layout),
            Platform::kOk);
}

}  // namespace
