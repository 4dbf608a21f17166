// Baking the three masks of one simulation step (humidity, dirt, rust) of a shipped model at
// density 100 into 1024 x 1024 JPEG files, against libjpeg-turbo encoding three such masks in
// the same run (goal: at most 5 times that); and, in the same run, where the time of one mask
// goes.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/sampled_model.h"
#include "imagelib/jpeg_writer.h"
#include "platform/media_folder.h"
#include "renderlib/kd_tree.h"
#include "simulation/mask_baking.h"
#include "simulation/sample_map_builder.h"
#include "simulation/sample_splats.h"
#include "simulation/splat_image.h"
#include "simulation/splat_raster.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kMaskSize = 1024;

using SampledModel = Bench::SampledModel;

// The model sampled at density 100, with quantities that vary smoothly over the surface the
// way a run leaves them (humidity and dirt by height, rust in patches).
SampledModel& Get(const std::string& name) {
  return Bench::CachedModel<SampledModel>(name, [](const std::string& modelName, SampledModel& model) {
    Bench::LoadSampledModel(modelName, 100, "mask_baking_bench", model);
    Simulation::SampleMap& map = *model.samples.map;
    for (uint32_t i = 0; i < map.Count(); ++i) {
      Simulation::SurfaceSample& s = map.Items()[i];
      s.humidity = 0.5f - 0.5f * s.position.y;
      s.dirt = 0.5f + 0.5f * s.normal.y;
      s.rust = 0.5f + 0.5f * std::sin(6.0f * s.position.x) * std::cos(5.0f * s.position.z);
    }
  });
}

std::string OutputFolder() {
  static const std::string folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "mask_baking_bench.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mask_baking_bench: mkdtemp");
      std::exit(1);
    }
    return pattern;
  }();
  return folder;
}

// The whole job as the simulation does it after a step: three masks baked and saved.
void BM_BakeStep(benchmark::State& state, const std::string& name) {
  SampledModel& model = Get(name);
  const Simulation::SampleMap& map = *model.samples.map;
  const char* channels[3] = {"humidity", "dirt", "rust"};
  std::string files[3];
  for (int c = 0; c < 3; ++c) files[c] = OutputFolder() + "/mask_" + channels[c] + "00.jpg";
  // The yardstick: libjpeg-turbo encoding three ready 1024 x 1024 masks (a smooth grey ramp,
  // written as RGB the way the masks are), timed in the same loop.
  std::unique_ptr<uint8_t[]> ramp(new uint8_t[kMaskSize * kMaskSize * 3]);
  for (uint32_t i = 0; i < kMaskSize * kMaskSize; ++i) {
    const uint32_t x = i % kMaskSize, y = i / kMaskSize;
    ramp[3 * i] = ramp[3 * i + 1] = ramp[3 * i + 2] = static_cast<uint8_t>((x + y) / 8 + (x * y) % 7);
  }
  const std::string yardstickFile = OutputFolder() + "/yardstick.jpg";
  double bakeSeconds = 0, encodeSeconds = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    for (int c = 0; c < 3; ++c) {
      if (Simulation::BakeAndSaveMask(c, files[c].c_str(), kMaskSize, kMaskSize, map, model.samples.spacing) != 0) {
        state.SkipWithError("a mask was not written");
        return;
      }
    }
    const Clock::time_point middle = Clock::now();
    for (int c = 0; c < 3; ++c) ImageLib::WriteJpegFile(yardstickFile.c_str(), ramp.get(), kMaskSize, kMaskSize, 95);
    const Clock::time_point end = Clock::now();
    bakeSeconds += std::chrono::duration<double>(middle - start).count();
    encodeSeconds += std::chrono::duration<double>(end - middle).count();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["samples"] = map.Count();
  state.counters["bake3_ms"] = bakeSeconds / n * 1e3;
  state.counters["encode3_ms"] = encodeSeconds / n * 1e3;
  // The goal: at most 5.
  state.counters["bake_vs_encode"] = bakeSeconds / encodeSeconds;
  std::filesystem::remove(yardstickFile);
  for (const std::string& file : files) std::filesystem::remove(file);
}

// One mask, phase by phase, with the same code BakeAndSaveMask runs.
void BM_MaskPhases(benchmark::State& state, const std::string& name) {
  SampledModel& model = Get(name);
  const Simulation::SampleMap& map = *model.samples.map;
  Simulation::SplatImage splat;
  std::string error;
  if (!splat.Load(Platform::FindMediaFile("SPLAT.png").c_str(), error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  const std::string file = OutputFolder() + "/phases.jpg";
  double allocate = 0, splatting = 0, resolve = 0, dilate = 0, convert = 0, encode = 0;
  for (auto _ : state) {
    const Clock::time_point t0 = Clock::now();
    Simulation::SplatRaster raster(kMaskSize, kMaskSize);
    std::unique_ptr<uint8_t[]> rgb(new uint8_t[kMaskSize * kMaskSize * 3]);
    const Clock::time_point t1 = Clock::now();
    Simulation::SplatSamples(map, 2, model.samples.spacing, splat, raster);
    const Clock::time_point t2 = Clock::now();
    raster.Resolve();
    const Clock::time_point t3 = Clock::now();
    raster.Dilate(Simulation::kMaskDilationPasses);
    const Clock::time_point t4 = Clock::now();
    raster.ToRgb(rgb.get());
    const Clock::time_point t5 = Clock::now();
    if (!ImageLib::WriteJpegFile(file.c_str(), rgb.get(), kMaskSize, kMaskSize, 95)) {
      state.SkipWithError("the JPEG was not written");
      return;
    }
    const Clock::time_point t6 = Clock::now();
    auto ms = [](Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); };
    allocate += ms(t0, t1);
    splatting += ms(t1, t2);
    resolve += ms(t2, t3);
    dilate += ms(t3, t4);
    convert += ms(t4, t5);
    encode += ms(t5, t6);
  }
  // The squares' sizes: the largest and the cap against slivers, which should not touch them.
  std::vector<Simulation::SplatSquare> squares;
  float largest = 0;
  for (uint32_t i = 0; i < map.Count(); ++i) {
    squares.push_back(Simulation::SampleSplatSquare(map.Items()[i], kMaskSize, kMaskSize, model.samples.spacing, 0.5f, 0.5f));
    largest = std::max({largest, squares.back().halfWidth, squares.back().halfHeight});
  }
  state.counters["largest_half_px"] = largest;
  state.counters["cap_half_px"] = Simulation::SplatHalfSizeCap(squares.data(), map.Count());
  const double n = static_cast<double>(state.iterations());
  state.counters["alloc_ms"] = allocate / n;
  state.counters["splat_ms"] = splatting / n;
  state.counters["resolve_ms"] = resolve / n;
  state.counters["dilate_ms"] = dilate / n;
  state.counters["to_rgb_ms"] = convert / n;
  state.counters["jpeg_ms"] = encode / n;
  std::filesystem::remove(file);
}

void Register() {
  for (const char* name : {"beethoven", "bunny", "sphere"}) {
    benchmark::RegisterBenchmark((std::string("BakeStep/") + name).c_str(), BM_BakeStep, std::string(name))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(2.0);
    benchmark::RegisterBenchmark((std::string("MaskPhases/") + name).c_str(), BM_MaskPhases, std::string(name))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(2.0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Register();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(OutputFolder());
  return 0;
}
