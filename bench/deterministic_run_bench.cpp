// What a reproducible step costs beside a default one: 20,000 tons on a shipped model sampled at
// density 100, on two workers, each iteration a pair of steps (default and deterministic) on the
// same fresh samples, the pair's order alternating so that load that builds up or dies down falls
// on both alike. deterministic_vs_default is the median of the pairs' time ratios (the target is
// at most 1.3); the CPU-time ratio beside it is less open to other programs' load.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "bench/sampled_model.h"
#include "simulation/emission_points.h"
#include "simulation/patinex_process.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kTonsPerStep = 20000;
constexpr int32_t kDensity = 100;
constexpr int32_t kWorkers = 2;

struct SampledModel : Bench::SampledModel {
  std::vector<Simulation::SurfaceSample> fresh;
  Simulation::EmissionGeometry emission;
  std::vector<float> points;
};

SampledModel& Get(const std::string& name) {
  return Bench::CachedModel<SampledModel>(name, [](const std::string& modelName, SampledModel& m) {
    Bench::LoadSampledModel(modelName, kDensity, "deterministic_run_bench", m);
    m.fresh.assign(m.samples.map->Items(), m.samples.map->Items() + m.samples.map->Count());
    m.emission = Simulation::EmissionGeometryFor(m.soup->GetBoundingBox());
    m.points.resize(3 * static_cast<size_t>(kTonsPerStep));
    Simulation::MakeEmissionPoints(m.points.data(), kTonsPerStep, 0.0f, m.emission);
  });
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : 0.5 * (values[middle - 1] + values[middle]);
}

void BM_DeterministicVsDefault(benchmark::State& state, const std::string& name) {
  SampledModel& m = Get(name);
  ThreadingLib::ThreadPool pool;
  if (!pool.Create(kWorkers, kWorkers, 0)) {
    state.SkipWithError("cannot start the workers");
    return;
  }
  Simulation::PatinexProcess process;
  Simulation::SimulationParams params = Bench::StepParams(m, process, kTonsPerStep, kDensity);

  std::vector<double> ratios, cpuRatios, seconds[2], legsPerTon[2];
  int pair = 0;
  for (auto _ : state) {
    double pairSeconds[2] = {0, 0}, pairCpu[2] = {0, 0};
    for (int turn = 0; turn < 2; ++turn) {
      const int mode = (turn + pair) % 2;  // 0 default, 1 deterministic
      params.deterministic = mode == 1;
      std::copy(m.fresh.begin(), m.fresh.end(), m.samples.map->Items());
      uint32_t nextPoint = 0;
      const std::clock_t cpuStart = std::clock();
      const Clock::time_point start = Clock::now();
      const auto shot = process.SpawnTons(pool, m.points.data(), nextPoint, 3 * kTonsPerStep, m.emission.aim,
                                          m.emission.radius, params);
      pairSeconds[mode] = std::chrono::duration<double>(Clock::now() - start).count();
      pairCpu[mode] = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
      seconds[mode].push_back(pairSeconds[mode]);
      legsPerTon[mode].push_back(static_cast<double>(shot.legs) / shot.tons);
    }
    ratios.push_back(pairSeconds[1] / pairSeconds[0]);
    cpuRatios.push_back(pairCpu[1] / pairCpu[0]);
    state.SetIterationTime(pairSeconds[0] + pairSeconds[1]);
    ++pair;
  }
  state.counters["default_s"] = Median(seconds[0]);
  state.counters["deterministic_s"] = Median(seconds[1]);
  state.counters["deterministic_vs_default"] = Median(ratios);
  state.counters["cpu_deterministic_vs_default"] = Median(cpuRatios);
  state.counters["legs_per_ton_default"] = Median(legsPerTon[0]);
  state.counters["legs_per_ton_deterministic"] = Median(legsPerTon[1]);
}

}  // namespace

int main(int argc, char** argv) {
  for (const char* name : {"bunny", "beethoven"}) {
    benchmark::RegisterBenchmark((std::string("DeterministicVsDefault/") + name).c_str(), BM_DeterministicVsDefault,
                                 std::string(name))
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(5);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
