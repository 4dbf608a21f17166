// What the window program costs when nothing happens, what it takes from a run that traces, and
// how long its window thread is held while the surface is sampled. The application runs in this
// process on Mesa's llvmpipe (run under Xvfb), through the framework's own main-loop turns, with
// the Beethoven bust loaded, each case side by side with the way it was before:
// - BM_Rest: a second with nothing happening, drawing every turn (on_demand:0, as before) or on
//   demand. cpu_percent is the processor time of all the process' threads (llvmpipe's included)
//   over the wall time, in percent of one core.
// - BM_Trace: the same run (density 100, 1 step of 50000 tons, a worker per processor) by
//   `patinex-cli weather` (no window at all), by the Weather command with the window drawing on
//   demand, and with it drawing every turn (as before). Legs per second are each run's own count
//   over its tracing time; the ratios to the command-line run are taken per iteration, in turns
//   that start with another way each time, and their medians reported.
// - BM_Resample: the Density edit to 500 until all the new points are drawn, sampled off the
//   window thread (background:1) or on it (background:0, as before; the points are written and
//   drawn in slices either way), the samples of the case before being replaced. longest_turn_ms is the wall time of the longest main-loop turn (the
//   window answers nothing meanwhile), longest_turn_cpu_ms the most processor time the window
//   thread spent in one turn.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "app/control_ids.h"
#include "app/number_boxes.h"
#include "bench/machine_load.h"
#include "framework/framework.h"
#include "framework/framework_state.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_edit_box.h"
#include "simulation/sample_map_builder.h"

namespace {

// The window program measured: one per process.
std::unique_ptr<PatinexApplication> program;
PatinexApplication& Program() { return *program; }

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Main-loop turns until the time is up; a turn waits no longer than what is left.
void TurnsFor(double seconds) {
  const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
    const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count()) + 1;
    MainLoopTurn(left);
  }
}

void SetBox(int id, const char* text) { Program().Panels().ParametersPanel().GetEditBox(id)->SetText(text); }

// The bust shaded, after its samples and any run are gone, the panels' fades settled.
void RestOnTheBust() {
  Program().Run().End();
  Program().Run().CancelResampling();
  Program().Samples().DropRequest();
  Program().View().ShowSamplePoints(false);
  FrameworkSetRenderOnDemand(true);
  TurnsFor(1.5);
}

void BM_Rest(benchmark::State& state) {
  RestOnTheBust();
  FrameworkSetRenderOnDemand(state.range(0) != 0);
  double cpu = 0.0, wall = 0.0;
  uint64_t frames = 0;
  for (auto _ : state) {
    const uint64_t framesBefore = GetFrameworkState().presentedFrames;
    const double cpuBefore = ProcessCpuSeconds();
    const Clock::time_point start = Clock::now();
    TurnsFor(1.0);
    wall += Seconds(Clock::now() - start);
    cpu += ProcessCpuSeconds() - cpuBefore;
    frames += GetFrameworkState().presentedFrames - framesBefore;
  }
  state.counters["cpu_percent"] = 100.0 * cpu / wall;
  state.counters["frames_per_second"] = static_cast<double>(frames) / wall;
  FrameworkSetRenderOnDemand(true);
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : 0.5 * (values[middle - 1] + values[middle]);
}

struct TraceResult {
  double legsPerSecond = 0.0;
  double framesPerSecond = 0.0;
  double othersCores = 0.0;  // what the rest of the machine took meanwhile
};

constexpr int kTraceDensity = 100;
constexpr int kTraceTons = 50000;

// The same run by patinex-cli weather, with as many workers as the window's run has (one per
// processor); its JSON summary gives the legs per second.
double CliLegsPerSecond(const std::filesystem::path& out) {
  const std::string command = std::string("'") + PATINEX_CLI + "' weather '" + PATINEX_SOURCE_DIR +
                              "/media/beethoven.obj' --density " + std::to_string(kTraceDensity) +
                              " --steps 1 --tons " + std::to_string(kTraceTons) + " --out '" + out.string() +
                              "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return 0.0;
  std::string summary;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) summary.append(buffer, got);
  if (pclose(pipe) != 0) return 0.0;
  std::smatch match;
  if (!std::regex_search(summary, match, std::regex("\"legsPerSecond\": *([0-9.eE+-]+)"))) return 0.0;
  return std::stod(match[1]);
}

// One run: way 0 by patinex-cli weather, way 1 by the Weather command with the window drawing on
// demand, way 2 with it drawing every turn.
TraceResult TraceOnce(int way, const std::filesystem::path& cliOut) {
  FrameworkSetRenderOnDemand(way != 2);
  const uint64_t framesBefore = GetFrameworkState().presentedFrames;
  const double busyBefore = MachineBusySeconds();
  const double cpuBefore = ProcessCpuSeconds();
  const Clock::time_point start = Clock::now();
  TraceResult result;
  if (way == 0) {
    result.legsPerSecond = CliLegsPerSecond(cliOut);
  } else {
    Program().Run().Start();
    FrameworkRequestFrame();  // as the click on "Weather" would
    while (Program().Run().Kept()) MainLoopTurn(100);
    const double traceSeconds = Program().Run().TraceSeconds();
    result.legsPerSecond = traceSeconds > 0.0 ? static_cast<double>(Program().Run().Legs()) / traceSeconds : 0.0;
  }
  const double wall = Seconds(Clock::now() - start);
  result.framesPerSecond = static_cast<double>(GetFrameworkState().presentedFrames - framesBefore) / wall;
  // The command-line run's processor time is the machine's too; only the window's runs say what
  // other programs took.
  if (way != 0) {
    result.othersCores = std::max(0.0, MachineBusySeconds() - busyBefore - (ProcessCpuSeconds() - cpuBefore)) / wall;
  }
  FrameworkSetRenderOnDemand(true);
  return result;
}

// Each iteration runs the three ways in turn, starting with another one each time so that load
// building up or dying down falls on each alike; the ratios to the command-line run are taken per
// iteration and their medians reported, since other programs share the machine.
void BM_Trace(benchmark::State& state) {
  RestOnTheBust();
  SetBox(ID_DENSITY, std::to_string(kTraceDensity).c_str());
  SetBox(ID_STEPS, "1");
  SetBox(ID_TONS_PER_STEP, std::to_string(kTraceTons).c_str());
  Program().Numbers().Commit(kDensityBox);
  // The samples first, so that only the runs are measured.
  Program().Run().StartResampling();
  while (!Program().Samples().TakeFinished(Program().Numbers().Density())) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  Program().View().ShowSamplePoints(false);
  const std::filesystem::path cliOut = std::filesystem::temp_directory_path() / "patinex_window_rest_bench_cli";
  std::vector<double> onDemand, everyTurn, legs[3], frames[3], others;
  int iteration = 0;
  for (auto _ : state) {
    TraceResult results[3];
    for (int turn = 0; turn < 3; ++turn) {
      const int way = (turn + iteration) % 3;
      results[way] = TraceOnce(way, cliOut);
      if (way != 0) others.push_back(results[way].othersCores);
    }
    if (results[0].legsPerSecond <= 0.0) {
      state.SkipWithError("patinex-cli weather gave no legs per second");
      break;
    }
    for (int way = 0; way < 3; ++way) {
      legs[way].push_back(results[way].legsPerSecond);
      frames[way].push_back(results[way].framesPerSecond);
    }
    onDemand.push_back(results[1].legsPerSecond / results[0].legsPerSecond);
    everyTurn.push_back(results[2].legsPerSecond / results[0].legsPerSecond);
    ++iteration;
  }
  std::error_code error;
  std::filesystem::remove_all(cliOut, error);
  state.counters["cli_legs_per_s"] = Median(legs[0]);
  state.counters["on_demand_legs_per_s"] = Median(legs[1]);
  state.counters["every_turn_legs_per_s"] = Median(legs[2]);
  state.counters["on_demand_ratio"] = Median(onDemand);
  state.counters["every_turn_ratio"] = Median(everyTurn);
  state.counters["on_demand_fps"] = Median(frames[1]);
  state.counters["every_turn_fps"] = Median(frames[2]);
  state.counters["others_cores"] = Median(others);
}

// Samples the surface as the window thread did before, in one turn.
void SampleOnTheWindowThread() {
  PatinexApplication& app = Program();
  app.Samples().Release();
  Simulation::SampleMapBuild build =
      Simulation::BuildSampleMap(*app.Model().KdTree(), *app.Model().Soup(), app.Numbers().Density());
  app.Samples().Adopt(std::move(build.map), build.spacing);
  app.View().ShowSamplePoints(true);
}

bool PointsShownInFull() {
  PatinexApplication& app = Program();
  return app.Samples().Map() != nullptr && app.View().ShowsSamples() && !app.Samples().UnderWay() &&
         app.View().Picture().PointsDrawn() >= app.Samples().Map()->Count();
}

void BM_Resample(benchmark::State& state) {
  const bool background = state.range(0) != 0;
  double longest = 0.0, longestCpu = 0.0;
  uint64_t frames = 0;
  for (auto _ : state) {
    state.PauseTiming();
    RestOnTheBust();
    SetBox(ID_DENSITY, "500");
    Program().Numbers().Commit(kDensityBox);
    state.ResumeTiming();
    // From the edit's countdown running out until every point is drawn. Before, the sampling
    // ran in the frame-move of that frame, and the frame drew all the points.
    if (background) Program().Samples().Request(0.001f);
    FrameworkRequestFrame();
    bool sampledHere = background;
    const Clock::time_point start = Clock::now();
    while (!PointsShownInFull()) {
      if (Clock::now() - start > std::chrono::minutes(3)) {
        state.SkipWithError("the points were not drawn within three minutes");
        return;
      }
      const uint64_t framesBefore = GetFrameworkState().presentedFrames;
      const double cpuBefore = ThreadCpuSeconds();
      const Clock::time_point turnStart = Clock::now();
      if (!sampledHere) {
        SampleOnTheWindowThread();
        sampledHere = true;
      }
      MainLoopTurn(1000);
      if (GetFrameworkState().presentedFrames != framesBefore) {
        ++frames;
        longest = std::max(longest, Seconds(Clock::now() - turnStart));
        longestCpu = std::max(longestCpu, ThreadCpuSeconds() - cpuBefore);
      }
    }
  }
  state.counters["longest_turn_ms"] = 1000.0 * longest;
  state.counters["longest_turn_cpu_ms"] = 1000.0 * longestCpu;
  state.counters["frames"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
  state.counters["points"] = Program().Samples().Map() ? static_cast<double>(Program().Samples().Map()->Count()) : 0.0;
}

BENCHMARK(BM_Rest)->ArgName("on_demand")->Arg(0)->Arg(1)->Iterations(5)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_Trace)->Iterations(5)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_Resample)->ArgName("background")->Arg(0)->Arg(1)->Iterations(2)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  program = std::make_unique<PatinexApplication>();
  if (!Program().Start(false, "-noerrormsgboxes -width:800 -height:600")) {
    std::fprintf(stderr, "window_rest_bench: the window program did not start (is there a display?)\n");
    return 1;
  }
  const std::filesystem::path masks = std::filesystem::temp_directory_path() / "patinex_window_rest_bench";
  std::filesystem::create_directories(masks);
  Program().Folders().masks = masks.string();
  Program().Panels().ParametersPanel().GetComboBox(ID_MODEL)->SetSelectedByIndex(2);  // "Beethoven"
  Program().LoadSelectedModel();
  if (!Program().Model().DeviceMesh()) {
    std::fprintf(stderr, "window_rest_bench: the Beethoven bust did not load (media not found?)\n");
    Program().Shutdown();
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const int code = Program().Shutdown();
  std::filesystem::remove_all(masks);
  return code;
}
