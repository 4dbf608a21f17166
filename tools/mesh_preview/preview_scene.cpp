#include "tools/mesh_preview/preview_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "imagelib/png_writer.h"
#include "platform/effect.h"
#include "platform/graphics_device.h"
#include "platform/matrix_math.h"
#include "platform/window.h"
#include "renderlib/bounding_box.h"
#include "renderlib/obj_loader.h"
#include "viewer/device_mesh.h"

namespace {

constexpr float kPi = 3.14159265f;

// A point of the points view: position and colour, 28 bytes as the point effect reads them.
struct PointVertex {
  float position[3];
  float color[4];
};
static_assert(sizeof(PointVertex) == 28);

constexpr Platform::InputElement kPointElements[] = {
    {"POSITION", 0, Platform::Format::R32G32B32_FLOAT, 0},
    {"COLOR", 0, Platform::Format::R32G32B32A32_FLOAT, 12},
};

RenderLib::BoundingBox ModelBox(const RenderLib::ObjModel& model) {
  RenderLib::BoundingBox box;
  for (const RenderLib::MeshGroup& group : model.groups) {
    for (const RenderLib::VertexNormalUV& vertex : group.vertices) box.Extend(vertex.position);
  }
  return box;
}

// Every vertex of the model, coloured by its normal (x, y, z mapped from -1..1 to 0..1).
std::vector<PointVertex> NormalPoints(const RenderLib::ObjModel& model) {
  std::vector<PointVertex> points;
  for (const RenderLib::MeshGroup& group : model.groups) {
    for (const RenderLib::VertexNormalUV& vertex : group.vertices) {
      const RenderLib::Vector3& p = vertex.position;
      const RenderLib::Vector3& n = vertex.normal;
      points.push_back({{p.x, p.y, p.z}, {n.x * 0.5f + 0.5f, n.y * 0.5f + 0.5f, n.z * 0.5f + 0.5f, 1.0f}});
    }
  }
  return points;
}

Platform::Float3 ToFloat3(const RenderLib::Vector3& v) { return {v.x, v.y, v.z}; }

// A texture or mask; a path that does not load leaves the view empty (an unbound texture), as
// in the program, after saying so.
std::unique_ptr<Platform::ShaderResourceView> LoadTexture(Platform::GraphicsDevice& device, const std::string& path) {
  std::unique_ptr<Platform::ShaderResourceView> view;
  if (!path.empty() && Platform::Failed(device.CreateTextureFromFile(path, &view))) {
    std::fprintf(stderr, "mesh-preview: %s did not load; drawing without it\n", path.c_str());
  }
  return view;
}

bool WritePng(const std::string& path, const std::vector<float>& rgba, int width, int height, std::string* error) {
  std::vector<uint8_t> bytes(rgba.size());
  for (size_t i = 0; i < rgba.size(); ++i) {
    bytes[i] = uint8_t(std::lround(std::clamp(rgba[i], 0.0f, 1.0f) * 255.0f));
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    *error = "cannot create " + path;
    return false;
  }
  const bool written = ImageLib::WritePngRgba8(file, path.c_str(), bytes.data(), uint32_t(width), uint32_t(height));
  if (std::fclose(file) != 0 || !written) {
    *error = "writing " + path + " failed";
    return false;
  }
  return true;
}

struct Camera {
  Platform::Matrix world;
  Platform::Matrix viewProjection;
  Platform::Float3 eye;
};

// Looks at the centre of the model's box from the front (-z), pitch degrees above it.
Camera PlaceCamera(const RenderLib::BoundingBox& box, const PreviewOptions& options) {
  const RenderLib::Vector3 centre = (box.min + box.max) * 0.5f;
  const float radius = RenderLib::Length(box.max - centre);
  const float pitch = options.pitchDegrees * kPi / 180.0f;
  const float distance = options.distance * radius;
  Camera camera;
  camera.eye = {centre.x, centre.y + distance * std::sin(pitch), centre.z - distance * std::cos(pitch)};
  // The model turns about the vertical axis through its own centre.
  camera.world = Platform::MatrixTranslation(-centre.x, -centre.y, -centre.z) *
                 Platform::MatrixRotationY(options.yawDegrees * kPi / 180.0f) *
                 Platform::MatrixTranslation(centre.x, centre.y, centre.z);
  const Platform::Matrix view = Platform::MatrixLookAtLH(camera.eye, ToFloat3(centre), {0.0f, 1.0f, 0.0f});
  const Platform::Matrix projection = Platform::MatrixPerspectiveFovLH(
      kPi / 4.0f, float(options.width) / float(options.height), 0.01f * radius, distance + 2.0f * radius);
  camera.viewProjection = view * projection;
  return camera;
}

class PreviewScene {
public:
  PreviewScene(Platform::GraphicsDevice& device, const PreviewOptions& options) : device(device), options(options) {}

  bool Draw(const RenderLib::ObjModel& model, std::string* error) {
    const RenderLib::BoundingBox box = ModelBox(model);
    const Camera camera = PlaceCamera(box, options);
    if (options.view == "Points") return DrawPoints(model, camera, error);
    return DrawMesh(model, box, camera, error);
  }

private:
  std::unique_ptr<Platform::Effect> LoadEffect(const std::string& name, std::string* error) {
    std::unique_ptr<Platform::Effect> effect;
    std::string messages;
    const std::string path = options.media + "/" + name;
    if (Platform::Failed(Platform::CreateEffectFromFile(&device, path, &effect, &messages))) {
      *error = "the effect " + path + " did not load:\n" + messages;
    }
    return effect;
  }

  bool DrawMesh(const RenderLib::ObjModel& model, const RenderLib::BoundingBox& box, const Camera& camera,
                std::string* error) {
    RenderLib::ErrorList messages;
    std::unique_ptr<Viewer::DeviceMesh> mesh = Viewer::CreateDeviceMesh(&device, &model, &messages);
    if (!mesh) {
      *error = "no device mesh: " + (messages.empty() ? std::string("no reason given") : messages.front());
      return false;
    }
    std::unique_ptr<Platform::Effect> effect = LoadEffect("drawmesh.fx", error);
    if (!effect) return false;
    Platform::EffectTechnique* technique = effect->TechniqueByName(options.view);
    if (!technique->IsValid()) {
      *error = "drawmesh.fx has no technique " + options.view;
      return false;
    }

    const std::string media = options.media + "/";
    auto base = LoadTexture(device, media + "tex_base.jpg");
    auto baseNormals = LoadTexture(device, media + "tex_base_NRM.jpg");
    auto patina = LoadTexture(device, media + "tex_patina.jpg");
    auto patinaNormals = LoadTexture(device, media + "tex_patina_NRM.jpg");
    auto rustMask = LoadTexture(device, options.rustMask);
    auto dirtMask = LoadTexture(device, options.dirtMask);

    effect->VariableByName("BaseDiffuse")->SetResource(base.get());
    effect->VariableByName("BaseNrm")->SetResource(baseNormals.get());
    effect->VariableByName("RustDiffuse")->SetResource(patina.get());
    effect->VariableByName("RustNrm")->SetResource(patinaNormals.get());
    effect->VariableByName("RustMask")->SetResource(rustMask.get());
    effect->VariableByName("DirtMask")->SetResource(dirtMask.get());
    effect->VariableByName("Bump")->SetFloat(1.0f);
    effect->VariableByName("DirtColor")->SetFloat(0.3f);
    effect->VariableByName("Ks")->SetFloat(0.4f);
    effect->VariableByName("DirtFactor")->SetFloat(options.dirtFactor);
    effect->VariableByName("RustFactor")->SetFloat(options.rustFactor);

    // The lights stand where the program puts them for a model of this box.
    const RenderLib::Vector3 c = (box.min + box.max) * 0.5f;
    const float r = RenderLib::Length(box.max - c);
    const float mainLight[3] = {c.x - 20.0f * r, c.y + 20.0f * r, c.z - 20.0f * r};
    const float fillLight[3] = {c.x + 20.0f * r, c.y, c.z};
    const float eye[3] = {camera.eye.x, camera.eye.y, camera.eye.z};
    effect->VariableByName("g_vLightPositionMain")->SetFloatVector(mainLight, 3);
    effect->VariableByName("g_vLightPositionFill")->SetFloatVector(fillLight, 3);
    effect->VariableByName("g_vCameraPosition")->SetFloatVector(eye, 3);
    effect->VariableByName("g_mWorld")->SetMatrix(camera.world.Data());
    effect->VariableByName("g_mWorldViewProjection")->SetMatrix(camera.viewProjection.Data());

    std::unique_ptr<Platform::InputLayout> layout;
    if (Platform::Failed(device.CreateInputLayout(Viewer::kDeviceVertexElements, Viewer::kDeviceVertexElementCount,
                                                  technique->PassByIndex(0)->Signature(), &layout))) {
      *error = "the mesh layout does not fit the technique " + options.view;
      return false;
    }
    device.SetInputLayout(layout.get());
    for (uint32_t i = 0; i < mesh->SubsetCount(); ++i) {
      const Viewer::DeviceMaterial& material = mesh->GetSubsetMaterial(i);
      effect->VariableByName("g_vMaterialAmbient")->SetFloatVector(&material.ambient.x, 3);
      effect->VariableByName("g_vMaterialDiffuse")->SetFloatVector(&material.diffuse.x, 3);
      effect->VariableByName("g_vMaterialSpecular")->SetFloatVector(&material.specular.x, 3);
      effect->VariableByName("g_fMaterialAlpha")->SetFloat(material.alpha);
      effect->VariableByName("g_nMaterialShininess")->SetInt(material.shininess);
      for (uint32_t p = 0; p < technique->PassCount(); ++p) {
        technique->PassByIndex(p)->Apply();
        mesh->DrawSubset(i);
      }
    }
    device.SetInputLayout(nullptr);
    return true;
  }

  bool DrawPoints(const RenderLib::ObjModel& model, const Camera& camera, std::string* error) {
    std::unique_ptr<Platform::Effect> effect = LoadEffect("drawparticles.fx", error);
    if (!effect) return false;
    Platform::EffectTechnique* technique = effect->TechniqueByName("PointColor");
    const std::vector<PointVertex> points = NormalPoints(model);
    std::unique_ptr<Platform::Buffer> buffer;
    std::unique_ptr<Platform::InputLayout> layout;
    if (points.empty() ||
        Platform::Failed(device.CreateVertexBuffer(uint32_t(points.size() * sizeof(PointVertex)), points.data(), false,
                                                   &buffer)) ||
        Platform::Failed(device.CreateInputLayout(kPointElements, 2, technique->PassByIndex(0)->Signature(), &layout))) {
      *error = "the points could not be put on the device";
      return false;
    }
    effect->VariableByName("g_mWorld")->SetMatrix(camera.world.Data());
    effect->VariableByName("g_mWorldViewProjection")->SetMatrix(camera.viewProjection.Data());
    device.SetInputLayout(layout.get());
    device.SetVertexBuffer(buffer.get(), sizeof(PointVertex), 0);
    device.SetPrimitiveTopology(Platform::PrimitiveTopology::PointList);
    for (uint32_t p = 0; p < technique->PassCount(); ++p) {
      technique->PassByIndex(p)->Apply();
      device.Draw(uint32_t(points.size()), 0);
    }
    device.SetInputLayout(nullptr);
    return true;
  }

  Platform::GraphicsDevice& device;
  const PreviewOptions& options;
};

}  // namespace

bool RenderPreview(const PreviewOptions& options, std::string* error) {
  RenderLib::ErrorList loadMessages;
  std::unique_ptr<RenderLib::ObjModel> model = RenderLib::LoadObj(options.model.c_str(), &loadMessages);
  for (const std::string& message : loadMessages) std::fprintf(stderr, "mesh-preview: %s\n", message.c_str());
  if (!model) {
    *error = "cannot read the model " + options.model;
    return false;
  }

  std::unique_ptr<Platform::Window> window =
      Platform::Window::Create("mesh-preview", 0, 0, options.width, options.height, nullptr, error);
  if (!window) return false;
  window->Hide();
  std::unique_ptr<Platform::GraphicsDevice> device;
  if (Platform::Failed(Platform::GraphicsDevice::Create(window->SdlWindow(), Platform::DeviceSettings(), &device, error)))
    return false;

  std::vector<float> pixels(size_t(options.width) * size_t(options.height) * 4);
  {
    std::unique_ptr<Platform::RenderTarget> target;
    if (Platform::Failed(device->CreateRenderTarget(uint32_t(options.width), uint32_t(options.height), &target))) {
      *error = "no render target of the size asked for";
      return false;
    }
    device->SetRenderTargets(target->ColorView(), target->DepthView());
    device->SetViewport({0, 0, uint32_t(options.width), uint32_t(options.height), 0.0f, 1.0f});
    // The program's own background grey.
    const float background[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    device->ClearRenderTargetView(target->ColorView(), background);
    device->ClearDepthStencilView(target->DepthView(), 1.0f);
    PreviewScene scene(*device, options);
    const bool drawn = scene.Draw(*model, error);
    const bool read = drawn && Platform::Succeeded(device->ReadPixels(0, 0, uint32_t(options.width),
                                                                      uint32_t(options.height), pixels.data()));
    // The target must not stay bound when it goes.
    device->SetRenderTargets(device->BackBufferView(), device->DepthStencilBufferView());
    if (!drawn) return false;
    if (!read) {
      *error = "reading the picture back failed";
      return false;
    }
  }
  return WritePng(options.out, pixels, options.width, options.height, error);
}
