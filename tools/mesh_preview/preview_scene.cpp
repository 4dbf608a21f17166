#include "tools/mesh_preview/preview_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "imagelib/png_writer.h"
#include "platform/graphics_device.h"
#include "platform/matrix_math.h"
#include "platform/window.h"
#include "renderlib/model_file.h"
#include "renderlib/triangle_soup.h"
#include "viewer/device_mesh.h"
#include "viewer/environment_background.h"
#include "viewer/environment_catalog.h"
#include "viewer/environment_light.h"
#include "viewer/scene_effects.h"
#include "viewer/scene_placement.h"

namespace {

constexpr float kRadiansPerDegree = 3.14159265f / 180.0f;

// Every vertex of the model, coloured by its normal (x, y, z mapped from -1..1 to 0..1) and lit by it.
std::vector<Viewer::PointVertex> NormalPoints(const RenderLib::ObjModel& model) {
  std::vector<Viewer::PointVertex> points;
  for (const RenderLib::MeshGroup& group : model.groups) {
    for (const RenderLib::VertexNormalUV& vertex : group.vertices) {
      const RenderLib::Vector3& p = vertex.position;
      const RenderLib::Vector3& n = vertex.normal;
      points.push_back({{p.x, p.y, p.z}, {n.x, n.y, n.z}, {n.x * 0.5f + 0.5f, n.y * 0.5f + 0.5f, n.z * 0.5f + 0.5f, 1.0f}});
    }
  }
  return points;
}

// A mask; a path that does not load leaves the view empty (an unbound texture), as in the
// program, after saying so.
std::unique_ptr<Platform::ShaderResourceView> LoadMask(Platform::GraphicsDevice& device, const std::string& path) {
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

// The model as the program frames it (from its front, whole in the picture), seen as the options
// ask: turned about the vertical axis through its centre, from higher up, and from nearer or
// further than the framing distance (as the window's wheel zooms).
Viewer::CameraMatrices PlaceCamera(const RenderLib::BoundingBox& box, const PreviewOptions& options) {
  const Viewer::ModelBounds bounds = Viewer::BoundsOfBox(box);
  const RenderLib::Vector3& c = bounds.centre;
  const Platform::Matrix yaw = Platform::MatrixTranslation(-c.x, -c.y, -c.z) *
                               Platform::MatrixRotationY(options.yawDegrees * kRadiansPerDegree) *
                               Platform::MatrixTranslation(c.x, c.y, c.z);
  const float pitch = options.pitchDegrees * kRadiansPerDegree;
  const uint32_t width = uint32_t(options.width), height = uint32_t(options.height);
  const Viewer::Projection framed = Viewer::FramingProjection(
      box, yaw, Viewer::StartingCamera(bounds, Viewer::kStartDistance, pitch), width, height, {});
  const Viewer::CameraPlacement placement = Viewer::StartingCamera(bounds, options.distance, pitch);
  Viewer::Projection projection = Viewer::ProjectionFor(options.distance * bounds.radius, width, height);
  projection.fieldOfView = framed.fieldOfView;
  projection.lensShift = framed.lensShift;
  return Viewer::FixedCamera(placement, yaw, projection);
}

// Problems that did not stop the load (a missing texture) are worth a word on stderr.
template <class SceneEffect>
bool LoadEffect(SceneEffect& effect, Platform::GraphicsDevice& device, const PreviewOptions& options,
                std::string* error) {
  const bool loaded = Platform::Succeeded(effect.Load(device, options.media, error));
  if (loaded && !error->empty()) std::fprintf(stderr, "mesh-preview: drawing all the same:\n%s", error->c_str());
  if (loaded) error->clear();
  return loaded;
}

bool DrawMesh(Platform::GraphicsDevice& device, const RenderLib::ObjModel& model, const RenderLib::BoundingBox& box,
              const Viewer::EnvironmentLight& environment, const PreviewOptions& options, std::string* error) {
  RenderLib::ErrorList messages;
  std::unique_ptr<Viewer::DeviceMesh> mesh = Viewer::CreateDeviceMesh(&device, &model, &messages);
  if (!mesh) {
    *error = "no device mesh: " + (messages.empty() ? std::string("no reason given") : messages.front());
    return false;
  }
  Viewer::MeshEffect effect;
  if (!LoadEffect(effect, device, options, error)) return false;
  Platform::EffectTechnique* technique = effect.TechniqueByName(options.view);
  if (!technique->IsValid()) {
    *error = "drawmesh.fx has no technique " + options.view;
    return false;
  }
  effect.PlaceLights(Viewer::BoundsOfBox(box));
  effect.UseEnvironment(&environment);
  const auto rustMask = LoadMask(device, options.rustMask);
  const auto dirtMask = LoadMask(device, options.dirtMask);
  // The masks given are every material's (all in one space).
  Platform::ShaderResourceView* const rust[] = {rustMask.get()};
  Platform::ShaderResourceView* const dirt[] = {dirtMask.get()};
  effect.Draw(*mesh, technique, PlaceCamera(box, options), {rust, dirt, {}, options.rustFactor, options.dirtFactor});
  return true;
}

// A shipped environment by name, else a path; Studio when none is named.
bool LoadEnvironment(Platform::GraphicsDevice& device, const PreviewOptions& options,
                     Viewer::EnvironmentLight* light, std::string* error) {
  const std::string name =
      options.environment.empty() ? Viewer::ShippedEnvironments().front().displayName : options.environment;
  const std::string shipped = Viewer::ShippedEnvironmentFile(name);
  const std::string path = shipped.empty() ? name : options.media + "/" + shipped;
  light->SetIntensity(options.exposure);
  light->SetRotation(options.environmentTurnDegrees * kRadiansPerDegree);
  return Platform::Succeeded(light->Load(device, path, error));
}

bool DrawBackground(Platform::GraphicsDevice& device, const Viewer::EnvironmentLight& light,
                    const RenderLib::BoundingBox& box, const PreviewOptions& options, std::string* error) {
  Viewer::EnvironmentBackground background;
  if (Platform::Failed(background.Load(device, options.media, error))) return false;
  background.Draw(light, PlaceCamera(box, options));
  return true;
}

bool DrawPoints(Platform::GraphicsDevice& device, const RenderLib::ObjModel& model, const RenderLib::BoundingBox& box,
                const PreviewOptions& options, std::string* error) {
  Viewer::PointEffect effect;
  if (!LoadEffect(effect, device, options, error)) return false;
  effect.PlaceLights(Viewer::BoundsOfBox(box));
  const std::vector<Viewer::PointVertex> points = NormalPoints(model);
  std::unique_ptr<Platform::Buffer> buffer;
  if (points.empty() || Platform::Failed(device.CreateVertexBuffer(uint32_t(points.size() * sizeof(Viewer::PointVertex)),
                                                                   points.data(), false, &buffer))) {
    *error = "the points could not be put on the device";
    return false;
  }
  effect.Draw(buffer.get(), uint32_t(points.size()), PlaceCamera(box, options));
  return true;
}

}  // namespace

bool RenderPreview(const PreviewOptions& options, std::string* error) {
  RenderLib::ErrorList loadMessages;
  std::unique_ptr<RenderLib::ObjModel> model = RenderLib::LoadModelFile(options.model, &loadMessages, *error);
  for (const std::string& message : loadMessages) std::fprintf(stderr, "mesh-preview: %s\n", message.c_str());
  if (!model) return false;

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
    // Framed by the box of its triangle soup, as the program frames it.
    const RenderLib::BoundingBox box = RenderLib::TriangleSoup(*model).GetBoundingBox();
    Viewer::EnvironmentLight environment;
    bool drawn = LoadEnvironment(*device, options, &environment, error);
    if (drawn && options.background) drawn = DrawBackground(*device, environment, box, options, error);
    if (drawn && options.view == "Points") drawn = DrawPoints(*device, *model, box, options, error);
    else if (drawn && options.view != "None") drawn = DrawMesh(*device, *model, box, environment, options, error);
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
