// Exporting the bust aged by a step's masks (its three 1024 x 1024 textures baked and the .glb
// written, everything ExportAgedAsset does), against libpng writing the same three textures
// to files alone, at its default settings, in the same run; goal: at most 3 times that, for
// every shipped look (bronze, the default, and those with more layers or the humidity mask). Run it
// on one core (taskset -c 0) for the goal's terms: the export uses one thread.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "assetexport/aged_export.h"
#include "assetexport/base_material.h"
#include "assetexport/look_catalog.h"
#include "assetexport/surface_frames.h"
#include "assetexport/texture_bake.h"
#include "imagelib/png_writer.h"
#include "renderlib/obj_loader.h"

namespace {

constexpr uint32_t kSize = 1024;

double ProcessSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

std::string OutputFolder() {
  static const std::string folder = [] {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("aged_export_bench." + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(path);
    return path.string();
  }();
  return folder;
}

// Masks as a run leaves them, smooth over the texture: rust in patches, dirt by rows.
AssetExport::MaskFile MakeMask(const char* name, bool rust) {
  std::vector<uint8_t> grey(size_t(kSize) * kSize);
  std::vector<float> values(grey.size());
  for (uint32_t y = 0; y < kSize; ++y) {
    for (uint32_t x = 0; x < kSize; ++x) {
      const float value = rust ? 0.5f + 0.5f * std::sin(x * 0.02f) * std::cos(y * 0.03f) : float(y) / kSize;
      grey[size_t(y) * kSize + x] = uint8_t(value * 255.0f);
      values[size_t(y) * kSize + x] = float(grey[size_t(y) * kSize + x]) / 255.0f;
    }
  }
  AssetExport::MaskFile mask;
  mask.path = name;
  mask.mimeType = "image/png";
  std::string error;
  ImageLib::EncodePng8(grey.data(), kSize, kSize, 1, &mask.bytes, &error);
  mask.grey = AssetExport::TextureSampler(kSize, kSize, 1, std::move(values));
  return mask;
}

// libpng at its defaults (through imagelib, which sets nothing else) encoding one RGB picture,
// and the file written: the yardstick.
bool WritePngWithLibpng(const std::string& path, const std::vector<uint8_t>& rgb) {
  std::vector<uint8_t> png;
  std::string error;
  if (!ImageLib::EncodePng8(rgb.data(), kSize, kSize, 3, &png, &error, -1)) return false;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  return std::fclose(file) == 0 && written;
}

void BM_ExportBust(benchmark::State& state, const char* lookName) {
  AssetExport::ExportSettings settings;
  std::string lookError;
  if (!AssetExport::FindLook(lookName, &settings.agedLook, &lookError)) {
    state.SkipWithError(lookError.c_str());
    return;
  }
  const std::string modelPath = std::string(PATINEX_SOURCE_DIR) + "/media/beethoven.obj";
  std::unique_ptr<RenderLib::ObjModel> model = RenderLib::LoadObj(modelPath.c_str(), nullptr);
  if (!model) {
    state.SkipWithError("the bust did not load");
    return;
  }
  AssetExport::StepMasks masks;
  masks.step = 2;
  masks.spaces.resize(1);
  masks.spaces[0].humidity = MakeMask("humidity", true);
  masks.spaces[0].dirt = MakeMask("dirt", false);
  masks.spaces[0].rust = MakeMask("rust", true);

  // The same three textures the export bakes, for the yardstick.
  AssetExport::LookTextures shipped;
  std::string error;
  if (!AssetExport::LoadLookTextures(settings.agedLook, &shipped, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::vector<std::vector<AssetExport::SurfaceFrame>> frames;
  for (const RenderLib::MeshGroup& group : model->groups) frames.push_back(AssetExport::ComputeSurfaceFrames(group));
  AssetExport::BakeInputs inputs{model.get(), &frames, &settings.agedLook, &shipped, &masks.spaces[0].rust.grey,
                                 &masks.spaces[0].dirt.grey, &masks.spaces[0].humidity.grey, {}};
  inputs.material = AssetExport::BakedMaterialOf(*model, model->groups[0]);
  AssetExport::BakedTextures baked;
  if (!AssetExport::BakeAgedTextures(inputs, kSize, &baked, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  const std::vector<uint8_t>* textures[3] = {&baked.baseColor, &baked.metallicRoughness, &baked.normal};

  const std::string out = OutputFolder() + "/bust.glb";
  const std::string yardstick = OutputFolder() + "/texture.png";
  double exportWall = 0, exportCpu = 0, pngWall = 0, pngCpu = 0;
  AssetExport::ExportTimes parts, sum;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ProcessSeconds();
    if (!AssetExport::ExportAgedAsset(*model, masks, settings, out, &error, &parts)) {
      state.SkipWithError(error.c_str());
      return;
    }
    const auto middle = std::chrono::steady_clock::now();
    const double cpuMiddle = ProcessSeconds();
    for (const std::vector<uint8_t>* texture : textures) {
      if (!WritePngWithLibpng(yardstick, *texture)) {
        state.SkipWithError("libpng did not write the texture");
        return;
      }
    }
    const auto end = std::chrono::steady_clock::now();
    const double cpuEnd = ProcessSeconds();
    exportWall += std::chrono::duration<double>(middle - start).count();
    pngWall += std::chrono::duration<double>(end - middle).count();
    exportCpu += cpuMiddle - cpuStart;
    pngCpu += cpuEnd - cpuMiddle;
    sum.bakeSeconds += parts.bakeSeconds;
    sum.encodeSeconds += parts.encodeSeconds;
    sum.writeSeconds += parts.writeSeconds;
  }
  const double n = double(state.iterations());
  state.counters["export_ms"] = exportWall / n * 1e3;
  state.counters["libpng3_ms"] = pngWall / n * 1e3;
  // The goal: at most 3.
  state.counters["export_vs_libpng"] = exportWall / pngWall;
  state.counters["export_vs_libpng_cpu"] = exportCpu / pngCpu;
  state.counters["bake_ms"] = sum.bakeSeconds / n * 1e3;
  state.counters["encode_ms"] = sum.encodeSeconds / n * 1e3;
  state.counters["write_ms"] = sum.writeSeconds / n * 1e3;
  std::filesystem::remove(out);
  std::filesystem::remove(yardstick);
}

BENCHMARK_CAPTURE(BM_ExportBust, bronze, "bronze")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK_CAPTURE(BM_ExportBust, copper, "copper")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK_CAPTURE(BM_ExportBust, iron, "iron")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK_CAPTURE(BM_ExportBust, painted_steel, "painted-steel")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);
BENCHMARK_CAPTURE(BM_ExportBust, stone, "stone")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK_CAPTURE(BM_ExportBust, wood, "wood")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(OutputFolder());
  return 0;
}
