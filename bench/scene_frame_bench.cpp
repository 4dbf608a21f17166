// The scene of the window program at 800 x 600 on Mesa's llvmpipe (run under Xvfb, vsync off),
// drawn anew every frame as while the model is turned (straight to the back buffer, the kept
// picture being only for a scene at rest): the Beethoven bust in each view (after one step of a run,
// so the masks are read) and its samples as points at density 100 and 500, which go in a slice
// a frame ("frames" per picture). The application runs in this process and each frame goes
// through the framework's frame step, then a one-pixel read waits for the rasteriser. Besides
// the wall time, "cpu_ms" is the processor time of all the process' threads (llvmpipe's
// included) a picture: it depends far less on what else the machine runs. The effect is found like the program finds it (a media/ in the current folder first), so
// two versions of an effect can be compared by running this from two folders in turn.
// The Shaded view is also drawn with the yardstick: the Blinn-Phong effect the window drew with
// before glTF's metallic-roughness lighting (bench/media/drawmesh_blinn_phong.fx, loaded from a
// copy of the media folder), and the ratio of the two frame times is printed at the end.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "app/application.h"
#include "app/control_ids.h"
#include "app/number_boxes.h"
#include "framework/framework.h"
#include "framework/framework_state.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_edit_box.h"
#include "renderlib/triangle_soup.h"

namespace {

// The window program measured: one per process.
std::unique_ptr<PatinexApplication> program;
PatinexApplication& Program() { return *program; }

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

void FinishedFrame() {
  RenderFrame();
  float pixel[4];
  FrameworkGetDevice()->ReadPixels(400, 300, 1, 1, pixel);
}

bool PointsLeft() {
  PatinexApplication& app = Program();
  return app.View().ShowsSamples() && app.Samples().Map() != nullptr &&
         app.View().Picture().PointsDrawn() < app.Samples().Map()->Count();
}

// The scene drawn anew, as in a frame that moves the camera: the model straight to the back
// buffer, or the points into the kept picture, which starts over, a slice a frame until all are
// drawn.
int FinishedPicture() {
  Program().View().MarkChanged();
  int frames = 0;
  do {
    FinishedFrame();
    ++frames;
  } while (PointsLeft());
  return frames;
}

// The wall and processor times of a picture, in milliseconds.
struct PictureTimes {
  double wallMs = 0.0;
  double cpuMs = 0.0;
};

PictureTimes TimeFrames(benchmark::State& state) {
  for (int i = 0; i < 3; ++i) FinishedPicture();
  const double cpuStart = ProcessCpuSeconds();
  const auto wallStart = std::chrono::steady_clock::now();
  int frames = 0;
  for (auto _ : state) frames += FinishedPicture();
  const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart).count();
  const double iterations = static_cast<double>(state.iterations());
  const double cpuMs = 1000.0 * (ProcessCpuSeconds() - cpuStart) / iterations;
  state.counters["cpu_ms"] = cpuMs;
  state.counters["frames"] = static_cast<double>(frames) / iterations;
  return {wall / iterations, cpuMs};
}

// The Shaded view's picture times with the program's effect and with the yardstick's.
PictureTimes shaded, yardstick;

// Loads the mesh effect from a media folder into the window's view, as the program does at start.
bool UseMeshEffect(const std::string& folder) {
  Viewer::MeshEffect& effect = Program().View().MeshEffect();
  std::string problems;
  if (Platform::Failed(effect.Load(*FrameworkGetDevice(), folder, &problems))) {
    std::fprintf(stderr, "scene_frame_bench: the mesh effect in %s did not load:\n%s", folder.c_str(), problems.c_str());
    return false;
  }
  effect.PlaceLights(Viewer::BoundsOfBox(Program().Model().Soup()->GetBoundingBox()));
  effect.AssignMaterialTechniques(*Program().Model().DeviceMesh());
  return true;
}

// A copy of the program's media folder with the yardstick in place of drawmesh.fx.
std::filesystem::path YardstickMedia() {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "patinex_scene_frame_yardstick";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  for (const auto& entry : std::filesystem::directory_iterator(Program().Folders().media)) {
    if (entry.is_regular_file()) std::filesystem::copy_file(entry.path(), folder / entry.path().filename());
  }
  std::filesystem::copy_file(PATINEX_SOURCE_DIR "/bench/media/drawmesh_blinn_phong.fx", folder / "drawmesh.fx",
                             std::filesystem::copy_options::overwrite_existing);
  return folder;
}

void ShowView(int view) {
  Program().View().ShowSamplePoints(false);
  Program().Panels().SimulationPanel().GetComboBox(ID_VIEW)->SetSelectedByIndex(view);
}

void BM_ModelView(benchmark::State& state) {
  ShowView(static_cast<int>(state.range(0)));
  const PictureTimes times = TimeFrames(state);
  if (state.range(0) == 0) shaded = times;
}

void BM_ShadedYardstick(benchmark::State& state) {
  const std::filesystem::path folder = YardstickMedia();
  if (!UseMeshEffect(folder.string())) {
    state.SkipWithError("the yardstick effect did not load");
    return;
  }
  ShowView(0);
  yardstick = TimeFrames(state);
  UseMeshEffect(Program().Folders().media);
  std::filesystem::remove_all(folder);
}

void BM_Points(benchmark::State& state) {
  Program().Panels().ParametersPanel().GetEditBox(ID_DENSITY)->SetText(std::to_string(state.range(0)).c_str());
  Program().Numbers().Commit(kDensityBox);
  Program().Run().StartResampling();
  while (!Program().Samples().TakeFinished(Program().Numbers().Density())) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  Program().View().ShowSamplePoints(true);
  state.counters["points"] = Program().Samples().Map() ? static_cast<double>(Program().Samples().Map()->Count()) : 0.0;
  TimeFrames(state);
}

// The Shaded view at rest: the first frame after a change draws the scene into the kept picture
// and copies it; the frames after only copy it.
void BM_ShadedAtRest(benchmark::State& state) {
  const bool firstFrame = state.range(0) != 0;
  ShowView(0);
  for (int i = 0; i < 3; ++i) FinishedPicture();
  FinishedFrame();
  for (auto _ : state) {
    if (firstFrame) {
      state.PauseTiming();
      FinishedPicture();
      state.ResumeTiming();
    }
    FinishedFrame();
  }
}

BENCHMARK(BM_ModelView)->ArgName("view")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_ShadedAtRest)->ArgName("first")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_ShadedYardstick)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_Points)->ArgName("density")->Arg(100)->Arg(500)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  program = std::make_unique<PatinexApplication>();
  if (!Program().Start(false, "-noerrormsgboxes -forcevsync:0 -width:800 -height:600")) {
    std::fprintf(stderr, "scene_frame_bench: the window program did not start (is there a display?)\n");
    return 1;
  }
  const std::filesystem::path masks = std::filesystem::temp_directory_path() / "patinex_scene_frame_bench";
  std::filesystem::create_directories(masks);
  Program().Folders().masks = masks.string();
  CUIComboBox* picker = Program().Panels().ParametersPanel().GetComboBox(ID_MODEL);
  picker->SetSelectedByIndex(2);  // "Beethoven"
  Program().LoadSelectedModel();
  if (!Program().Model().DeviceMesh()) {
    std::fprintf(stderr, "scene_frame_bench: the Beethoven bust did not load (media not found?)\n");
    Program().Shutdown();
    return 1;
  }
  // One short step, so that the views show (and read) real masks as after a run.
  Program().Panels().ParametersPanel().GetEditBox(ID_STEPS)->SetText("1");
  Program().Panels().ParametersPanel().GetEditBox(ID_TONS_PER_STEP)->SetText("2000");
  Program().Run().Start();
  while (Program().Run().Kept()) RenderFrame();
  if (!Program().View().RustMaskView() || !Program().View().DirtMaskView()) {
    std::fprintf(stderr, "scene_frame_bench: the run left no masks\n");
    Program().Shutdown();
    return 1;
  }
  std::printf("view 0 = Shaded, 1 = Dirt, 2 = Rust; %s after one step of 2000 tons\n",
              picker->GetSelectedItem()->text.c_str());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (shaded.wallMs > 0.0 && yardstick.wallMs > 0.0) {
    std::printf("Shaded %.2f ms a picture (%.1f a second), yardstick %.2f ms: %.2f x the yardstick's time "
                "(processor time: %.2f ms against %.2f ms, %.2f x)\n",
                shaded.wallMs, 1000.0 / shaded.wallMs, yardstick.wallMs, shaded.wallMs / yardstick.wallMs,
                shaded.cpuMs, yardstick.cpuMs, shaded.cpuMs / yardstick.cpuMs);
  }
  const int code = Program().Shutdown();
  std::filesystem::remove_all(masks);
  return code;
}
