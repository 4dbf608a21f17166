// What keeping a run's session costs beside the step it follows, and what reopening it costs, on
// the bust at density 100 with steps of 20,000 tons, measured side by side in one run.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "bench/sampled_model.h"
#include "shipped_media/shipped_splat.h"
#include "simulation/patinex_process.h"
#include "simulation/session_file.h"
#include "simulation/simulation_params.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int32_t kDensity = 100;
constexpr int32_t kTons = 20000;

Bench::SampledModel& Bust() {
  return Bench::CachedModel<Bench::SampledModel>("beethoven", [](const std::string& name, Bench::SampledModel& model) {
    Bench::LoadSampledModel(name, kDensity, "session_bench", model);
  });
}

struct Folder {
  Folder() : path(fs::temp_directory_path() / ("patinex_session_bench_" + std::to_string(std::random_device{}()))) {
    fs::create_directories(path);
  }
  ~Folder() { fs::remove_all(path); }
  fs::path path;
};

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// One step of the run as the programs make it (tracing, ageing, the masks, the record and the
// session), and the session's share of it: the session is written again on its own after the
// step and timed apart. keepShare is that time over the step's time without it.
void BM_StepAndKeptSession(benchmark::State& state) {
  Bench::SampledModel& bust = Bust();
  Simulation::SplatImage splat;
  std::string error;
  if (!ShippedMedia::LoadSplat(splat, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  const Folder folder;
  const std::string folderName = folder.path.string();
  Simulation::SimulationParams params;
  params.kdTree = &bust.tree;
  params.mesh = bust.soup.get();
  params.sampleMap = bust.samples.map.get();
  params.steps = 1;
  params.tonsPerStep = kTons;
  params.sampleSpacing = bust.samples.spacing;
  params.density = kDensity;
  params.maskFolder = folderName.c_str();
  params.splat = &splat;
  params.seeded = true;
  Simulation::SessionState kept;
  kept.tonsPerStep = kTons;
  const std::string sessionPath = (folder.path / Simulation::kSessionName).string();
  double stepSeconds = 0.0;
  double keepSeconds = 0.0;
  for (auto _ : state) {
    Simulation::PatinexProcess process;
    const Clock::time_point start = Clock::now();
    process.Run(&params);
    const double step = Since(start);
    const Clock::time_point keepStart = Clock::now();
    if (!Simulation::WriteSessionFile(sessionPath, params.sampleMap->Items(), params.sampleMap->Count(), kept,
                                      &error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    const double keep = Since(keepStart);
    state.SetIterationTime(step);
    stepSeconds += step;
    keepSeconds += keep;
    ++params.firstMaskNumber;
  }
  const double n = double(state.iterations());
  state.counters["samples"] = double(params.sampleMap->Count());
  state.counters["stepSeconds"] = stepSeconds / n;
  state.counters["keepSeconds"] = keepSeconds / n;
  state.counters["keepShare"] = keepSeconds / (stepSeconds - keepSeconds);
  state.counters["sessionMB"] = double(fs::file_size(sessionPath)) / 1e6;
}

// Reopening the bust's session: the file read and checked, and its sample map set up again.
void BM_ReopenSession(benchmark::State& state) {
  Bench::SampledModel& bust = Bust();
  const Folder folder;
  Simulation::SessionState kept;
  kept.identity.maskWidth = kept.identity.maskHeight = 1024;
  kept.identity.density = kDensity;
  kept.tonsPerStep = kTons;
  kept.sampleSpacing = bust.samples.spacing;
  std::string error;
  const Simulation::SampleMap& map = *bust.samples.map;
  if (!Simulation::WriteSessionFile((folder.path / Simulation::kSessionName).string(), map.Items(), map.Count(),
                                    kept, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  for (auto _ : state) {
    Simulation::SessionState read;
    if (Simulation::ReadSessionFile(folder.path.string(), &read, &error) != Simulation::SessionLoad::kFound) {
      state.SkipWithError(error.c_str());
      return;
    }
    Simulation::SampleMap reopened(read.samples.data(), uint32_t(read.samples.size()), read.identity.maskSpaces);
    benchmark::DoNotOptimize(reopened.Items());
  }
  state.counters["samples"] = double(map.Count());
}

BENCHMARK(BM_StepAndKeptSession)->Name("Session/beethoven/stepAndKeep")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReopenSession)->Name("Session/beethoven/reopen")->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
