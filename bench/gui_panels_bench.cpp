// The GUI toolkit's own work for the application's three panels (about 30 controls with their
// texts): messages, layout, text shaping, filling the sprite batch and vertex buffers and handing
// the draws to OpenGL. Needs a display; run under Xvfb with Mesa's llvmpipe.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "framework/dialog.h"
#include "framework/dialog_resource_manager.h"
#include "framework/sprite_batch.h"
#include "framework/ui_combo_box.h"
#include "platform/graphics_device.h"
#include "platform/window.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

void Ignore(Platform::Window*, const Platform::WindowEvent&) {}

// The device panel, the parameters panel and the simulation panel, as the application lays them out.
void BuildPanels(Dialog& device, Dialog& parameters, Dialog& simulation) {
  for (Dialog* dialog : {&device, &parameters, &simulation}) {
    dialog->SetFont(1, "Arial", 14, 700);
    dialog->GetDefaultElement(kControlStatic, 0)->font = 1;
    dialog->SetBackgroundColors(0x33000000, 0x33000000, 0x33000000, 0x33000000);
  }
  device.SetLocation(kWidth - 170, 0);
  device.SetSize(170, 170);
  device.AddButton(1, "Toggle full screen", 35, 10, 125, 22);
  device.AddButton(2, "Toggle REF (F3)", 35, 34, 125, 22);
  device.AddButton(3, "Change device (F2)", 35, 58, 125, 22);

  parameters.SetLocation(kWidth - 170, 170);
  parameters.SetSize(170, 250);
  CUIComboBox* models = nullptr;
  parameters.AddStatic(-1, "Model", 5, 0, 160, 20);
  parameters.AddComboBox(10, 5, 20, 160, 24, 0, false, &models);
  for (const char* name : {"Sphere", "Beethoven", "Bunny"}) models->AddItem(name, nullptr);
  parameters.AddStatic(-1, "Density", 5, 48, 160, 20);
  parameters.AddEditBox(11, "64", 5, 68, 160, 30);
  parameters.AddStatic(-1, "Steps", 5, 100, 160, 20);
  parameters.AddEditBox(12, "10", 5, 120, 160, 30);
  parameters.AddStatic(-1, "Tons/Step", 5, 152, 160, 20);
  parameters.AddEditBox(13, "100000", 5, 172, 160, 30);
  parameters.AddCheckBox(14, "Show samples", 5, 208, 160, 22);

  simulation.SetLocation(kWidth - 170, 420);
  simulation.SetSize(170, 180);
  simulation.AddButton(20, "Weather", 5, 0, 160, 24);
  simulation.AddStatic(21, "Traced 42.50%", 5, 26, 160, 20);
  simulation.AddStatic(-1, "Step", 5, 46, 60, 20);
  simulation.AddSlider(22, 60, 46, 105, 20, 0, 9, 9);
  simulation.AddStatic(-1, "Dirt", 5, 68, 60, 20);
  simulation.AddSlider(23, 60, 68, 105, 20, 0, 100, 100);
  simulation.AddStatic(-1, "Rust", 5, 90, 60, 20);
  simulation.AddSlider(24, 60, 90, 105, 20, 0, 100, 100);
  simulation.AddRadioButton(25, 1, "Shaded", 5, 114, 160, 20, true);
  simulation.AddRadioButton(26, 1, "Dirt", 5, 134, 80, 20);
  simulation.AddRadioButton(27, 1, "Rust", 85, 134, 80, 20);
  simulation.AddStatic(-1, "12.3 fps  800x600", 5, 156, 160, 20);
}

struct PanelScene {
  std::unique_ptr<Platform::Window> window;
  std::unique_ptr<Platform::GraphicsDevice> device;
  std::unique_ptr<Platform::RenderTarget> target;
  DialogResourceManager manager;
  Dialog panels[3];
  bool ready = false;

  PanelScene() {
    std::string error;
    window = Platform::Window::Create("gui bench", 0, 0, 64, 64, Ignore, &error);
    if (!window || Platform::Failed(Platform::GraphicsDevice::Create(window->SdlWindow(), Platform::DeviceSettings(),
                                                                     &device, &error))) {
      std::fprintf(stderr, "gui_panels_bench: no OpenGL device: %s\n", error.c_str());
      return;
    }
    device->CreateRenderTarget(kWidth, kHeight, &target);
    device->SetRenderTargets(target->ColorView(), nullptr);
    Platform::Viewport viewport;
    viewport.width = kWidth;
    viewport.height = kHeight;
    device->SetViewport(viewport);
    for (Dialog& panel : panels) panel.Init(&manager, true);
    BuildPanels(panels[0], panels[1], panels[2]);
    Platform::SurfaceDescription size;
    size.width = kWidth;
    size.height = kHeight;
    size.format = Platform::Format::R8G8B8A8_UNORM;
    ready = Platform::Succeeded(manager.OnDeviceCreated(device.get())) &&
            Platform::Succeeded(manager.OnSwapChainResized(device.get(), size));
  }
  ~PanelScene() {
    manager.OnSwapChainReleasing();
    manager.OnDeviceDestroyed();
  }

  // One frame's toolkit work: the mouse crossing the panels, then every panel drawn.
  void Frame(int frame) {
    const Platform::Point point{kWidth - 170 + frame % 170, (frame * 7) % kHeight};
    const Platform::WindowEvent move = Platform::WindowEvent::Mouse(Platform::EventType::MouseMove, point);
    for (Dialog& panel : panels) panel.HandleEvent(window.get(), move);
    for (Dialog& panel : panels) panel.Render(1.0f / 60.0f);
  }

  void WaitForGpu() {
    float pixel[4];
    device->ReadPixels(0, 0, 1, 1, pixel);
  }
};

PanelScene& Scene() {
  static PanelScene scene;
  return scene;
}

// CPU work up to handing the draws to GL; the wait for the rasteriser is left out.
void BM_PanelsCpu(benchmark::State& state) {
  PanelScene& scene = Scene();
  if (!scene.ready) {
    state.SkipWithError("no device");
    return;
  }
  int frame = 0;
  const uint64_t draws = scene.manager.Sprites()->DrawCount();
  const uint64_t fills = scene.manager.Sprites()->FillCount();
  for (auto _ : state) {
    scene.Frame(frame++);
    state.PauseTiming();
    scene.WaitForGpu();
    state.ResumeTiming();
  }
  // Sprite draw calls and vertex buffer fills per frame.
  const double frames = frame > 0 ? frame : 1;
  state.counters["draws"] = static_cast<double>(scene.manager.Sprites()->DrawCount() - draws) / frames;
  state.counters["fills"] = static_cast<double>(scene.manager.Sprites()->FillCount() - fills) / frames;
}

// The whole frame of the panels, drawn by llvmpipe into an 800 x 600 target.
void BM_PanelsFrame(benchmark::State& state) {
  PanelScene& scene = Scene();
  if (!scene.ready) {
    state.SkipWithError("no device");
    return;
  }
  int frame = 0;
  for (auto _ : state) {
    scene.Frame(frame++);
    scene.WaitForGpu();
  }
}

BENCHMARK(BM_PanelsCpu)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_PanelsFrame)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
