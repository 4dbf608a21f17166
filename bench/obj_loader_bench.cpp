// OBJ loading speed of RenderLib::LoadObj beside tinyobjloader (single-threaded, triangulating)
// on the same files: the Beethoven bust from the shared media sources and a generated grid of
// about a million triangles with positions, texture coordinates and normals (faces v/vt/vn).
// Prints MB/s per loader and file, then the ratio ours / tinyobjloader for each file.

#include <benchmark/benchmark.h>
#include <tiny_obj_loader.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/generated_grid.h"
#include "renderlib/obj_loader.h"

namespace {

namespace fs = std::filesystem;

// The media sources live in shared/ beside the repository clone, or somewhere above it.
fs::path FindBeethoven() {
  for (fs::path folder = fs::absolute(PATINEX_SOURCE_DIR); !folder.empty(); folder = folder.parent_path()) {
    fs::path candidate = folder / "shared" / "media-src" / "beethoven.obj";
    if (fs::exists(candidate)) return candidate;
    if (folder == folder.parent_path()) break;
  }
  return {};
}

fs::path GenerateGrid(const fs::path& folder) { return GeneratedGrid::WriteObj(GeneratedGrid::Make(), folder / "grid_1m.obj"); }

void LoadPatinex(benchmark::State& state, const std::string& path) {
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
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(path)));
  state.counters["triangles"] = double(triangles);
}

void LoadTinyObj(benchmark::State& state, const std::string& path) {
  size_t triangles = 0;
  std::string folder = fs::path(path).parent_path().string() + "/";
  for (auto _ : state) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warning, error;
    if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warning, &error, path.c_str(), folder.c_str(), true)) {
      state.SkipWithError(("tinyobjloader failed: " + error).c_str());
      return;
    }
    triangles = 0;
    for (const tinyobj::shape_t& shape : shapes) triangles += shape.mesh.indices.size() / 3;
    benchmark::DoNotOptimize(attrib.vertices.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(path)));
  state.counters["triangles"] = double(triangles);
}

// Prints the usual table, keeps each run's MB/s and ends with ours / tinyobjloader per file.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    // With repetitions the mean stands for the file; a single run stands for itself.
    for (const Run& run : runs) {
      bool mean = run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean";
      if (run.error_occurred || !(mean || run.run_type == Run::RT_Iteration)) continue;
      auto rate = run.counters.find("bytes_per_second");
      if (rate != run.counters.end()) speeds[run.run_name.str()] = rate->second.value / 1e6;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-12s %14s %14s %8s\n", "file", "LoadObj MB/s", "tinyobj MB/s", "ratio");
    for (const char* file : {"beethoven", "grid_1m"}) {
      auto ours = speeds.find(std::string("LoadObj/") + file);
      auto theirs = speeds.find(std::string("tinyobjloader/") + file);
      if (ours == speeds.end() || theirs == speeds.end()) continue;
      std::printf("%-12s %14.1f %14.1f %8.2f\n", file, ours->second, theirs->second, ours->second / theirs->second);
    }
  }

private:
  std::map<std::string, double> speeds;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);

  std::vector<std::pair<std::string, fs::path>> files;
  fs::path beethoven = FindBeethoven();
  if (beethoven.empty()) {
    std::fprintf(stderr, "beethoven.obj not found in shared/media-src beside or above %s; skipping it\n",
                 PATINEX_SOURCE_DIR);
  } else {
    files.emplace_back("beethoven", beethoven);
  }
  fs::path folder = fs::temp_directory_path() / ("patinex_obj_bench_" + std::to_string(getpid()));
  fs::create_directories(folder);
  std::fprintf(stderr, "generating the million-triangle grid in %s...\n", folder.c_str());
  fs::path grid = GenerateGrid(folder);
  if (grid.empty()) {
    std::fprintf(stderr, "cannot write the generated grid in %s; skipping it\n", folder.c_str());
  } else {
    files.emplace_back("grid_1m", grid);
  }

  // Each file's two loaders run one after the other, so both see the same machine load.
  for (const auto& [name, path] : files) {
    benchmark::RegisterBenchmark(("LoadObj/" + name).c_str(), LoadPatinex, path.string())->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("tinyobjloader/" + name).c_str(), LoadTinyObj, path.string())->Unit(benchmark::kMillisecond);
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  fs::remove_all(folder);
  return 0;
}
