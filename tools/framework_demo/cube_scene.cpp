#include "tools/framework_demo/cube_scene.h"

#include <cstdio>
#include <string>

#include "framework/media_search.h"

namespace {

struct CubeVertex {
  float position[3];
  float normal[3];
  float color[4];
};

constexpr uint32_t kFaces = 6;
constexpr uint32_t kVertexCount = kFaces * 4;
constexpr uint32_t kIndexCount = kFaces * 6;

// Each face: its normal, two axes spanning it, and its colour.
struct Face {
  float normal[3];
  float u[3];
  float v[3];
  float color[4];
};

constexpr Face kCubeFaces[kFaces] = {
    {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0.90f, 0.30f, 0.25f, 1}},
    {{-1, 0, 0}, {0, 0, -1}, {0, 1, 0}, {0.25f, 0.75f, 0.35f, 1}},
    {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}, {0.30f, 0.45f, 0.90f, 1}},
    {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}, {0.95f, 0.80f, 0.25f, 1}},
    {{0, 0, 1}, {-1, 0, 0}, {0, 1, 0}, {0.80f, 0.35f, 0.85f, 1}},
    {{0, 0, -1}, {1, 0, 0}, {0, 1, 0}, {0.30f, 0.85f, 0.85f, 1}},
};

void BuildCube(CubeVertex* vertices, uint32_t* indices) {
  const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  for (uint32_t f = 0; f < kFaces; ++f) {
    const Face& face = kCubeFaces[f];
    for (uint32_t c = 0; c < 4; ++c) {
      CubeVertex& vertex = vertices[f * 4 + c];
      for (int axis = 0; axis < 3; ++axis) {
        vertex.position[axis] = face.normal[axis] + corners[c][0] * face.u[axis] + corners[c][1] * face.v[axis];
        vertex.normal[axis] = face.normal[axis];
      }
      for (int k = 0; k < 4; ++k) vertex.color[k] = face.color[k];
    }
    const uint32_t quad[6] = {0, 1, 2, 0, 2, 3};
    for (uint32_t k = 0; k < 6; ++k) indices[f * 6 + k] = f * 4 + quad[k];
  }
}

}  // namespace

Platform::Result CubeScene::Create(Platform::GraphicsDevice* device) {
  char path[1024];
  const Platform::Result found = FrameworkFindMediaFile(path, sizeof path, "framework_demo.fx");
  if (Platform::Failed(found)) {
    std::fprintf(stderr, "framework-demo: cannot find media/framework_demo.fx\n");
    return found;
  }
  std::string errors;
  if (Platform::Failed(Platform::CreateEffectFromFile(device, path, &effect, &errors))) {
    std::fprintf(stderr, "framework-demo: %s\n", errors.c_str());
    return Platform::kFail;
  }

  CubeVertex cube[kVertexCount];
  uint32_t cubeIndices[kIndexCount];
  BuildCube(cube, cubeIndices);
  const Platform::InputElement elements[] = {
      {"POSITION", 0, Platform::Format::R32G32B32_FLOAT, 0},
      {"NORMAL", 0, Platform::Format::R32G32B32_FLOAT, 12},
      {"COLOR", 0, Platform::Format::R32G32B32A32_FLOAT, 24},
  };
  Platform::EffectPass* pass = effect->TechniqueByName("Render")->PassByIndex(0);
  Platform::Result result = device->CreateVertexBuffer(sizeof cube, cube, false, &vertices);
  if (Platform::Succeeded(result)) result = device->CreateIndexBuffer(kIndexCount, cubeIndices, &indices);
  if (Platform::Succeeded(result)) result = device->CreateInputLayout(elements, 3, pass->Signature(), &layout);
  if (Platform::Failed(result)) std::fprintf(stderr, "framework-demo: could not make the cube's buffers\n");
  return result;
}

void CubeScene::Destroy() {
  layout.reset();
  indices.reset();
  vertices.reset();
  effect.reset();
}

void CubeScene::Render(Platform::GraphicsDevice* device, const Platform::Matrix& world, const Platform::Matrix& view,
                       const Platform::Matrix& projection, float time) {
  if (!effect) return;
  const Platform::Matrix worldViewProjection = world * view * projection;
  const float lightDirection[3] = {0.4f, 0.8f, -0.45f};
  effect->VariableByName("g_mWorld")->SetMatrix(world.Data());
  effect->VariableByName("g_mWorldViewProjection")->SetMatrix(worldViewProjection.Data());
  effect->VariableByName("g_vLightDir")->SetFloatVector(lightDirection, 3);
  effect->VariableByName("g_fTime")->SetFloat(time);

  device->SetInputLayout(layout.get());
  device->SetVertexBuffer(vertices.get(), sizeof(CubeVertex), 0);
  device->SetIndexBuffer(indices.get());
  device->SetPrimitiveTopology(Platform::PrimitiveTopology::TriangleList);
  Platform::EffectTechnique* technique = effect->TechniqueByName("Render");
  for (uint32_t p = 0; p < technique->PassCount(); ++p) {
    technique->PassByIndex(p)->Apply();
    device->DrawIndexed(kIndexCount, 0, 0);
  }
}
