// framework-demo: the framework's window, device, main loop and camera around a turning cube.
#include <cstdio>
#include <cstring>

#include "framework/framework.h"
#include "framework/model_viewer_camera.h"
#include "framework/program_arguments.h"
#include "tools/framework_demo/cube_scene.h"

namespace {

constexpr float kPi = 3.14159265f;

const char kAbout[] =
    "Opens a window titled \"Patinex framework demo\" with a turning, lit cube.\n"
    "Left drag turns the cube, right drag the camera, the wheel zooms.\n"
    "F1 switches to the reference rasteriser (softpipe) and back, F2 to llvmpipe and back,\n"
    "Alt+Enter toggles full screen, Pause pauses, Escape quits.\n";

struct Demo {
  CModelViewerCamera camera;
  CubeScene scene;
  Platform::Matrix world = Platform::MatrixIdentity();
  bool firstSettings = true;
};

bool ModifyDeviceSettings(FrameworkDeviceSettings* settings, void* context) {
  Demo& demo = *static_cast<Demo*>(context);
  if (demo.firstSettings && settings->device.driverType == Platform::DriverType::Reference)
    FrameworkShowReferenceDeviceWarning();
  demo.firstSettings = false;
  return true;
}

Platform::Result DeviceCreated(Platform::GraphicsDevice* device, const Platform::SurfaceDescription*, void* context) {
  std::printf("framework-demo: drawing with %s\n", device->RendererName().c_str());
  std::fflush(stdout);
  return static_cast<Demo*>(context)->scene.Create(device);
}

Platform::Result SwapChainResized(Platform::GraphicsDevice*, const Platform::SurfaceDescription* backBuffer,
                                  void* context) {
  Demo& demo = *static_cast<Demo*>(context);
  const float aspect = static_cast<float>(backBuffer->width) / static_cast<float>(backBuffer->height);
  demo.camera.SetProjection(kPi / 4.0f, aspect, 0.1f, 100.0f);
  demo.camera.SetWindow(static_cast<int>(backBuffer->width), static_cast<int>(backBuffer->height));
  return Platform::kOk;
}

void DeviceDestroyed(void* context) { static_cast<Demo*>(context)->scene.Destroy(); }

void FrameMove(double time, float elapsed, void* context) {
  Demo& demo = *static_cast<Demo*>(context);
  demo.camera.Update(elapsed);
  const float angle = static_cast<float>(time) * 0.8f;
  demo.world = Platform::MatrixRotationY(angle) * Platform::MatrixRotationX(angle * 0.5f) * demo.camera.GetWorldMatrix();
}

void FrameRender(Platform::GraphicsDevice* device, double time, float, void* context) {
  Demo& demo = *static_cast<Demo*>(context);
  const float background[4] = {0.08f, 0.09f, 0.12f, 1.0f};
  device->SetRenderTargets(FrameworkGetBackBufferView(), FrameworkGetDepthStencilView());
  device->ClearRenderTargetView(FrameworkGetBackBufferView(), background);
  device->ClearDepthStencilView(FrameworkGetDepthStencilView(), 1.0f);
  demo.scene.Render(device, demo.world, demo.camera.GetViewMatrix(), demo.camera.GetProjMatrix(),
                    static_cast<float>(time));
}

void OnEvent(Platform::Window* window, const Platform::WindowEvent& event, bool*, void* context) {
  static_cast<Demo*>(context)->camera.HandleEvent(window, event);
}

void Keyboard(uint32_t key, bool down, bool, void*) {
  if (!down) return;
  if (key == Platform::VK_F1) FrameworkToggleREF();
  if (key == Platform::VK_F2) FrameworkToggleWARP();
}

}  // namespace

int main(int argc, char** argv) {
  if (const int status = CheckProgramArguments(argc, argv, "framework-demo", kAbout); status >= 0) return status;

  static Demo demo;
  const Platform::Float3 eye = {0.0f, 1.5f, -6.0f};
  const Platform::Float3 lookAt = {0.0f, 0.0f, 0.0f};
  demo.camera.SetView(&eye, &lookAt);

  FrameworkSetCallbackModifyDeviceSettings(ModifyDeviceSettings, &demo);
  FrameworkSetCallbackDeviceCreated(DeviceCreated, &demo);
  FrameworkSetCallbackSwapChainResized(SwapChainResized, &demo);
  FrameworkSetCallbackDeviceDestroyed(DeviceDestroyed, &demo);
  FrameworkSetCallbackFrameMove(FrameMove, &demo);
  FrameworkSetCallbackFrameRender(FrameRender, &demo);
  FrameworkSetCallbackEvent(OnEvent, &demo);
  FrameworkSetCallbackKeyboard(Keyboard, &demo);

  FrameworkInit(true, true, nullptr, false);
  FrameworkCreateWindow("Patinex framework demo");
  FrameworkCreateDevice(true, 800, 600);
  FrameworkMainLoop();
  // The scene's GPU objects go while the demo's own objects still exist.
  FrameworkShutdown(0);
  return FrameworkGetExitCode();
}
