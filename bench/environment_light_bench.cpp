// Preparing an environment for lighting (reading excluded): the main light taken out, the
// diffuse harmonics and the GGX-prefiltered levels, on a pool of one worker per processor as
// the viewer runs it. Target: at most 0.5 s for a shipped 512 x 256 environment on 2 cores.
#include <benchmark/benchmark.h>

#include <string>

#include "threadinglib/thread_pool.h"
#include "viewer/environment_brdf_table.h"
#include "viewer/environment_preparation.h"

namespace {

void PrepareShipped(benchmark::State& state, const char* file) {
  Viewer::RadianceMap source;
  std::string error;
  if (!Viewer::ReadRadianceMap(std::string(PATINEX_SOURCE_DIR "/media/environments/") + file, &source, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  ThreadingLib::ThreadPool pool;
  pool.CreateForProcessors(0);
  for (auto _ : state) benchmark::DoNotOptimize(Viewer::PrepareEnvironment(source, &pool));
}

void BM_PrepareLowSun(benchmark::State& state) { PrepareShipped(state, "low_sun.hdr"); }
void BM_PrepareStudio(benchmark::State& state) { PrepareShipped(state, "studio.hdr"); }

void BM_MakeBrdfTable(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Viewer::MakeBrdfTable());
}

}  // namespace

BENCHMARK(BM_PrepareLowSun)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PrepareStudio)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MakeBrdfTable)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
