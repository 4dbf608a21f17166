// Baking the three masks of one simulation step (humidity, dirt, rust) of a shipped model at
// density 100 into 1024 x 1024 JPEG files, against libjpeg-turbo encoding three such masks in
// the same run (goal: at most 5 times that); the same samples in two mask spaces against one;
// and, in the same run, where the time of one mask goes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/sampled_model.h"
#include "imagelib/jpeg_writer.h"
#include "renderlib/kd_tree.h"
#include "shipped_media/shipped_splat.h"
#include "simulation/mask_baking.h"
#include "simulation/sample_map_builder.h"
#include "simulation/sample_splats.h"
#include "simulation/splat_image.h"
#include "simulation/splat_profile.h"
#include "simulation/splat_raster.h"

namespace {

using Clock = std::chrono::steady_clock;

// The processor time of the whole program, every thread summed (the bake encodes on threads of
// its own): on a machine shared with other work, wall time counts the waits for a core too.
double ProcessSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

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
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("mask_baking_bench." + std::to_string(std::random_device{}()));
    std::error_code error;
    if (!std::filesystem::create_directories(path, error)) {
      std::fprintf(stderr, "mask_baking_bench: cannot make %s: %s\n", path.c_str(), error.message().c_str());
      std::exit(1);
    }
    return path.string();
  }();
  return folder;
}

// The splat the program ships; false (with the benchmark skipped and why) when it cannot be read.
bool LoadShippedSplat(Simulation::SplatImage& splat, benchmark::State& state) {
  std::string error;
  if (ShippedMedia::LoadSplat(splat, &error)) return true;
  state.SkipWithError(error.c_str());
  return false;
}

// The whole job as the simulation does it after a step: three masks baked and saved.
void BM_BakeStep(benchmark::State& state, const std::string& name) {
  SampledModel& model = Get(name);
  const Simulation::SampleMap& map = *model.samples.map;
  Simulation::SplatImage splat;
  if (!LoadShippedSplat(splat, state)) return;
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
  double bakeSeconds = 0, encodeSeconds = 0, bakeCpu = 0, encodeCpu = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    const double cpuStart = ProcessSeconds();
    const char* const names[3] = {files[0].c_str(), files[1].c_str(), files[2].c_str()};
    int32_t codes[3];
    if (Simulation::BakeAndSaveMasks(names, kMaskSize, kMaskSize, map, model.samples.spacing, splat, codes) != 3) {
      state.SkipWithError("a mask was not written");
      return;
    }
    const Clock::time_point middle = Clock::now();
    const double cpuMiddle = ProcessSeconds();
    for (int c = 0; c < 3; ++c) ImageLib::WriteJpegFile(yardstickFile.c_str(), ramp.get(), kMaskSize, kMaskSize, 95);
    const Clock::time_point end = Clock::now();
    const double cpuEnd = ProcessSeconds();
    bakeCpu += cpuMiddle - cpuStart;
    encodeCpu += cpuEnd - cpuMiddle;
    bakeSeconds += std::chrono::duration<double>(middle - start).count();
    encodeSeconds += std::chrono::duration<double>(end - middle).count();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["samples"] = map.Count();
  state.counters["bake3_ms"] = bakeSeconds / n * 1e3;
  state.counters["encode3_ms"] = encodeSeconds / n * 1e3;
  // The goal: at most 5.
  state.counters["bake_vs_encode"] = bakeSeconds / encodeSeconds;
  // The same in processor time summed over the threads (one core's worth of work), which other
  // work on the machine disturbs less.
  state.counters["bake3_cpu_ms"] = bakeCpu / n * 1e3;
  state.counters["encode3_cpu_ms"] = encodeCpu / n * 1e3;
  state.counters["bake_vs_encode_cpu"] = bakeCpu / encodeCpu;
  std::filesystem::remove(yardstickFile);
  for (const std::string& file : files) std::filesystem::remove(file);
}

// The bake as it was before the one-pass bake: each mask on its own, its squares stamped texel
// by texel from the splat image into a fresh raster, timed against the same yardstick, for a
// before and after in one run. (Its resolve and dilation are today's, a little faster than
// they were.)
void BM_BakeStepBefore(benchmark::State& state, const std::string& name) {
  SampledModel& model = Get(name);
  const Simulation::SampleMap& map = *model.samples.map;
  Simulation::SplatImage splat;
  if (!LoadShippedSplat(splat, state)) return;
  std::unique_ptr<uint8_t[]> ramp(new uint8_t[kMaskSize * kMaskSize * 3]);
  for (uint32_t i = 0; i < kMaskSize * kMaskSize; ++i) {
    const uint32_t x = i % kMaskSize, y = i / kMaskSize;
    ramp[3 * i] = ramp[3 * i + 1] = ramp[3 * i + 2] = static_cast<uint8_t>((x + y) / 8 + (x * y) % 7);
  }
  const std::string file = OutputFolder() + "/before.jpg";
  double bakeSeconds = 0, encodeSeconds = 0;
  for (auto _ : state) {
    const double start = ProcessSeconds();
    for (int32_t channel = 0; channel < 3; ++channel) {
      Simulation::SplatRaster raster(kMaskSize, kMaskSize);
      std::unique_ptr<uint8_t[]> rgb(new uint8_t[kMaskSize * kMaskSize * 3]);
      Simulation::SplatSamples(map, channel, model.samples.spacing, splat, raster);
      raster.Resolve();
      raster.Dilate(Simulation::kMaskDilationPasses);
      raster.ToRgb(rgb.get());
      if (!ImageLib::WriteJpegFile(file.c_str(), rgb.get(), kMaskSize, kMaskSize, 95)) {
        state.SkipWithError("the JPEG was not written");
        return;
      }
    }
    const double middle = ProcessSeconds();
    for (int c = 0; c < 3; ++c) ImageLib::WriteJpegFile(file.c_str(), ramp.get(), kMaskSize, kMaskSize, 95);
    const double end = ProcessSeconds();
    bakeSeconds += middle - start;
    encodeSeconds += end - middle;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["bake3_cpu_ms"] = bakeSeconds / n * 1e3;
  state.counters["encode3_cpu_ms"] = encodeSeconds / n * 1e3;
  state.counters["bake_vs_encode_cpu"] = bakeSeconds / encodeSeconds;
  std::filesystem::remove(file);
}

// A step of a model whose materials lie on each other in texture space: the samples east of the
// centre in mask space 1, the rest in space 0, six masks baked in one pass over the samples, in
// processor time beside one space's three of the same samples (goal: two spaces cost less than
// two one-space bakes, since the samples are stamped once).
void BM_BakeStepTwoSpaces(benchmark::State& state, const std::string& name) {
  SampledModel& model = Get(name);
  Simulation::SampleMap& map = *model.samples.map;
  Simulation::SplatImage splat;
  if (!LoadShippedSplat(splat, state)) return;
  std::string files[6];
  const char* names[6];
  const char* channels[3] = {"humidity", "dirt", "rust"};
  for (int i = 0; i < 6; ++i) {
    files[i] = OutputFolder() + "/mask_" + channels[i % 3] + "00" + (i < 3 ? "" : "_space1") + ".jpg";
    names[i] = files[i].c_str();
  }
  double oneSeconds = 0, twoSeconds = 0;
  int32_t codes[6];
  for (auto _ : state) {
    const double start = ProcessSeconds();
    Simulation::BakeAndSaveSpaceMasks(names, 1, kMaskSize, kMaskSize, map, model.samples.spacing, splat, codes);
    const double oneEnd = ProcessSeconds();
    state.PauseTiming();
    for (uint32_t i = 0; i < map.Count(); ++i) {
      Simulation::SetMaskSpace(map.Items()[i], map.Items()[i].position.x > 0.0f ? 1 : 0);
    }
    state.ResumeTiming();
    const double middle = ProcessSeconds();
    const int32_t saved =
        Simulation::BakeAndSaveSpaceMasks(names, 2, kMaskSize, kMaskSize, map, model.samples.spacing, splat, codes);
    const double end = ProcessSeconds();
    state.PauseTiming();
    for (uint32_t i = 0; i < map.Count(); ++i) Simulation::SetMaskSpace(map.Items()[i], 0);
    state.ResumeTiming();
    if (saved != 6) {
      state.SkipWithError("a mask was not written");
      return;
    }
    oneSeconds += oneEnd - start;
    twoSeconds += end - middle;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["one_space_cpu_ms"] = oneSeconds / n * 1e3;
  state.counters["two_spaces_cpu_ms"] = twoSeconds / n * 1e3;
  state.counters["two_vs_one"] = twoSeconds / oneSeconds;
  for (const std::string& file : files) std::filesystem::remove(file);
}

// The three masks of a step, phase by phase, with the same code BakeAndSaveMasks runs (the
// rasters kept from one step to the next, as it keeps them).
void BM_MaskPhases(benchmark::State& state, const std::string& name) {
  SampledModel& model = Get(name);
  const Simulation::SampleMap& map = *model.samples.map;
  Simulation::SplatImage splat;
  if (!LoadShippedSplat(splat, state)) return;
  Simulation::SplatProfile profile;
  const bool round = profile.Build(splat);
  const std::string file = OutputFolder() + "/phases.jpg";
  std::unique_ptr<Simulation::SplatRaster> rasters[3];
  Simulation::SplatRaster* pointers[3];
  for (int c = 0; c < 3; ++c) {
    rasters[c] = std::make_unique<Simulation::SplatRaster>(kMaskSize, kMaskSize);
    pointers[c] = rasters[c].get();
  }
  std::unique_ptr<uint8_t[]> grey(new uint8_t[kMaskSize * kMaskSize]);
  Simulation::SplatScratch scratch;
  const int32_t channels[3] = {0, 1, 2};
  double clear = 0, splatting = 0, resolve = 0, dilate = 0, convert = 0, encode = 0;
  for (auto _ : state) {
    const double t0 = ProcessSeconds();
    for (auto& raster : rasters) raster->Clear();
    const double t1 = ProcessSeconds();
    Simulation::SplatChannels(map, channels, pointers, 3, model.samples.spacing, splat, profile, scratch);
    const double t2 = ProcessSeconds();
    for (auto& raster : rasters) raster->ResolveClearing();
    const double t3 = ProcessSeconds();
    for (auto& raster : rasters) raster->Dilate(Simulation::kMaskDilationPasses);
    const double t4 = ProcessSeconds();
    double convertMs = 0, encodeMs = 0;
    for (auto& raster : rasters) {
      const double c0 = ProcessSeconds();
      raster->ToGreyClearing(grey.get());
      const double c1 = ProcessSeconds();
      std::FILE* output = std::fopen(file.c_str(), "wb");
      const bool written = output != nullptr && ImageLib::WriteGreyJpeg(output, file.c_str(), grey.get(), kMaskSize, kMaskSize, 95);
      if (output != nullptr && std::fclose(output) != 0) state.SkipWithError("the JPEG was not closed");
      if (!written) {
        state.SkipWithError("the JPEG was not written");
        return;
      }
      const double c2 = ProcessSeconds();
      convertMs += (c1 - c0) * 1e3;
      encodeMs += (c2 - c1) * 1e3;
    }
    auto ms = [](double a, double b) { return (b - a) * 1e3; };
    clear += ms(t0, t1);
    splatting += ms(t1, t2);
    resolve += ms(t2, t3);
    dilate += ms(t3, t4);
    convert += convertMs;
    encode += encodeMs;
  }
  // How much of the mask the samples cover, and how much the dilation fills.
  uint32_t covered = 0, filled = 0;
  for (uint32_t y = 0; y < kMaskSize; ++y) {
    for (uint32_t x = 0; x < kMaskSize; ++x) {
      const uint8_t generation = rasters[0]->Generation(x, y);
      covered += generation == 1;
      filled += generation > 1 && generation < 255;
    }
  }
  state.counters["covered_texels"] = covered;
  state.counters["dilated_texels"] = filled;
  state.counters["round_splat"] = round;
  state.counters["polynomial"] = profile.HasPolynomial();
  state.counters["polynomial_degree"] = profile.Degree();
  // The splat's support in half sizes (the polynomial is 0 beyond it).
  state.counters["support_half"] =
      profile.HasPolynomial() ? std::sqrt(profile.PolynomialEnd() / Simulation::SplatProfile::kEntriesPerUnit) : 0.0;
  state.counters["profile_deviation_255"] = profile.Deviation() * 255.0f;
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
  state.counters["clear3_ms"] = clear / n;
  state.counters["splat3_ms"] = splatting / n;
  state.counters["resolve3_ms"] = resolve / n;
  state.counters["dilate3_ms"] = dilate / n;
  state.counters["to_grey3_ms"] = convert / n;
  state.counters["jpeg3_ms"] = encode / n;
  std::filesystem::remove(file);
}

void Register() {
  for (const char* name : {"beethoven", "bunny", "sphere"}) {
    benchmark::RegisterBenchmark((std::string("BakeStep/") + name).c_str(), BM_BakeStep, std::string(name))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(2.0);
    benchmark::RegisterBenchmark((std::string("BakeStepBefore/") + name).c_str(), BM_BakeStepBefore, std::string(name))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(2.0);
    benchmark::RegisterBenchmark((std::string("BakeStepTwoSpaces/") + name).c_str(), BM_BakeStepTwoSpaces,
                                 std::string(name))
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
