// glTF reading speed of RenderLib::LoadGltf beside its yardsticks, single-threaded, on a
// generated grid of about a million triangles (positions, normals, texture coordinates, 32-bit
// indices), the same mesh written four ways: binary glTF (.glb), glTF with its buffer in a .bin
// file, glTF with its buffer in a base64 data URI, and OBJ text. The yardsticks: tinygltf's own
// parse of the same glTF file (our reader does that and, on top of it, the flattening, checks,
// normals and tangents: the goal is at most 1.5 x) and our OBJ reader on the OBJ file (the glTF
// reader should be at least as fast). Prints the time per load and then the ratios.
// Fresh memory costs a page fault a page, which on a virtual machine can outweigh the reading
// itself, and whether a reader gets fresh memory in every iteration depends on the allocator's
// thresholds (tinygltf's one buffer of a .gltf file is reused from one load to the next, our
// model is not). glibc's thresholds set the regime for every reader alike:
//   MALLOC_MMAP_THRESHOLD_=65536 gltf_loader_bench       every load gets fresh memory (a cold load)
//   MALLOC_TRIM_THRESHOLD_=4000000000 MALLOC_MMAP_THRESHOLD_=4000000000 gltf_loader_bench
//                                                        every load reuses memory (the work alone)

#include <benchmark/benchmark.h>
#include <tiny_gltf.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/generated_grid.h"
#include "renderlib/gltf_loader.h"
#include "renderlib/obj_loader.h"

namespace {

namespace fs = std::filesystem;

void LoadPatinexGltf(benchmark::State& state, const std::string& path) {
  size_t triangles = 0;
  for (auto _ : state) {
    RenderLib::ErrorList messages;
    std::unique_ptr<RenderLib::ObjModel> model = RenderLib::LoadGltf(path.c_str(), &messages);
    if (!model) {
      state.SkipWithError(("LoadGltf failed: " + (messages.empty() ? std::string() : messages.back())).c_str());
      return;
    }
    triangles = size_t(model->TotalIndexCount() / 3);
    benchmark::DoNotOptimize(model.get());
  }
  state.counters["triangles"] = double(triangles);
}

// Images are not decoded here (the grid has none); the parse reads the JSON and the buffers.
bool KeepNoImage(tinygltf::Image*, const int, std::string*, std::string*, int, int, const unsigned char*, int, void*) {
  return true;
}

void ParseTinyGltf(benchmark::State& state, const std::string& path) {
  const bool binary = fs::path(path).extension() == ".glb";
  for (auto _ : state) {
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(KeepNoImage, nullptr);
    tinygltf::Model model;
    std::string error, warning;
    bool parsed = binary ? loader.LoadBinaryFromFile(&model, &error, &warning, path)
                         : loader.LoadASCIIFromFile(&model, &error, &warning, path);
    if (!parsed) {
      state.SkipWithError(("tinygltf failed: " + error).c_str());
      return;
    }
    benchmark::DoNotOptimize(model.buffers.data());
  }
}

void LoadPatinexObj(benchmark::State& state, const std::string& path) {
  size_t triangles = 0;
  for (auto _ : state) {
    std::unique_ptr<RenderLib::ObjModel> model = RenderLib::LoadObj(path.c_str());
    if (!model) {
      state.SkipWithError("LoadObj failed");
      return;
    }
    triangles = size_t(model->TotalIndexCount() / 3);
    benchmark::DoNotOptimize(model.get());
  }
  state.counters["triangles"] = double(triangles);
}

// Prints the usual table, keeps each run's time per load and ends with the ratios, of the wall
// time and of the processor time (the machine may be shared: the latter counts this process only).
class RatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    // With repetitions the mean stands for the benchmark; a single run stands for itself.
    for (const Run& run : runs) {
      bool mean = run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean";
      if (run.error_occurred || !(mean || run.run_type == Run::RT_Iteration)) continue;
      std::string name = run.run_name.str();
      const std::string suffix = "/real_time";
      if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
        name.resize(name.size() - suffix.size());
      }
      times[name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-26s %10s %12s %8s %10s %12s %8s %s\n", "reading", "ours ms", "yardstick ms", "ratio",
                "ours cpu", "yardstick cpu", "ratio", "goal");
    Ratio("grid_1m.glb / tinygltf", "LoadGltf/grid_1m.glb", "tinygltf/grid_1m.glb", "<= 1.5");
    Ratio("grid_1m.gltf / tinygltf", "LoadGltf/grid_1m.gltf", "tinygltf/grid_1m.gltf", "<= 1.5");
    Ratio("embedded / tinygltf", "LoadGltf/grid_1m_embedded.gltf", "tinygltf/grid_1m_embedded.gltf", "<= 1.5");
    Ratio("grid_1m.glb / OBJ reader", "LoadGltf/grid_1m.glb", "LoadObj/grid_1m.obj", "<= 1");
    Ratio("grid_1m.gltf / OBJ reader", "LoadGltf/grid_1m.gltf", "LoadObj/grid_1m.obj", "<= 1");
    Ratio("embedded / OBJ reader", "LoadGltf/grid_1m_embedded.gltf", "LoadObj/grid_1m.obj", "<= 1");
  }

private:
  struct Time {
    double real = 0;
    double cpu = 0;
  };

  void Ratio(const char* label, const std::string& ours, const std::string& yardstick, const char* goal) {
    auto a = times.find(ours), b = times.find(yardstick);
    if (a == times.end() || b == times.end()) return;
    std::printf("%-26s %10.1f %12.1f %8.2f %10.1f %12.1f %8.2f %s\n", label, a->second.real, b->second.real,
                a->second.real / b->second.real, a->second.cpu, b->second.cpu, a->second.cpu / b->second.cpu, goal);
  }

  std::map<std::string, Time> times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  fs::path folder = fs::temp_directory_path() / ("patinex_gltf_bench_" + std::to_string(getpid()));
  fs::create_directories(folder);
  std::fprintf(stderr, "generating the million-triangle grid in %s...\n", folder.c_str());
  const GeneratedGrid::Grid grid = GeneratedGrid::Make();
  const fs::path glb = GeneratedGrid::WriteGltf(grid, folder / "grid_1m.glb", GeneratedGrid::GltfForm::Binary);
  const fs::path gltf = GeneratedGrid::WriteGltf(grid, folder / "grid_1m.gltf", GeneratedGrid::GltfForm::SeparateBuffer);
  const fs::path embedded =
      GeneratedGrid::WriteGltf(grid, folder / "grid_1m_embedded.gltf", GeneratedGrid::GltfForm::DataUri);
  const fs::path obj = GeneratedGrid::WriteObj(grid, folder / "grid_1m.obj");
  if (glb.empty() || gltf.empty() || embedded.empty() || obj.empty()) {
    std::fprintf(stderr, "cannot write the generated grid in %s\n", folder.c_str());
    fs::remove_all(folder);
    return 1;
  }

  // The readers of one file run one after the other, so they see the same machine load.
  for (const fs::path& path : {glb, gltf, embedded}) {
    const std::string name = path.filename().string();
    benchmark::RegisterBenchmark(("LoadGltf/" + name).c_str(), LoadPatinexGltf, path.string())
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("tinygltf/" + name).c_str(), ParseTinyGltf, path.string())
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  benchmark::RegisterBenchmark("LoadObj/grid_1m.obj", LoadPatinexObj, obj.string())
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  fs::remove_all(folder);
  return 0;
}
