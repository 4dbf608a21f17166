// Working out the mask spaces of a model whose materials each lay their charts on the texture
// (AssignMaskSpaces), which every sampling now does first: the shipped bunny and bust and a
// generated grid of a million triangles, each cut into several materials, timed against
// sampling the same model at density 100 in the same loop (goal: a few per cent of it).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "bench/generated_grid.h"
#include "bench/sampled_model.h"
#include "renderlib/kd_tree.h"
#include "renderlib/obj_loader.h"
#include "renderlib/triangle_soup.h"
#include "simulation/mask_spaces.h"
#include "simulation/sample_map_builder.h"

namespace {

using Clock = std::chrono::steady_clock;

// The model's triangles dealt out to `materials` materials in runs of consecutive triangles,
// which keeps the charts of the unit square apart as the model laid them.
std::unique_ptr<RenderLib::ObjModel> CutIntoMaterials(const RenderLib::ObjModel& whole, int materials) {
  auto cut = std::make_unique<RenderLib::ObjModel>();
  for (int m = 0; m < materials; ++m) {
    RenderLib::MaterialHandle material(new RenderLib::Material());
    std::snprintf(material->name, sizeof material->name, "part%d", m);
    cut->materials.push_back(material);
  }
  for (const RenderLib::MeshGroup& group : whole.groups) {
    const size_t triangles = group.indices.size() / 3;
    for (int m = 0; m < materials; ++m) {
      RenderLib::MeshGroup part;
      part.vertices = group.vertices;
      part.materialIndex = m;
      part.indices.assign(group.indices.begin() + std::ptrdiff_t(3 * (triangles * size_t(m) / size_t(materials))),
                          group.indices.begin() + std::ptrdiff_t(3 * (triangles * size_t(m + 1) / size_t(materials))));
      cut->groups.push_back(std::move(part));
    }
  }
  return cut;
}

struct Prepared {
  std::unique_ptr<RenderLib::ObjModel> model;
  std::unique_ptr<RenderLib::TriangleSoup> soup;
  RenderLib::KdTree tree;
};

Prepared& Get(const std::string& name) {
  return Bench::CachedModel<Prepared>(name, [](const std::string& modelName, Prepared& into) {
    std::unique_ptr<RenderLib::ObjModel> whole;
    if (modelName == "grid") {
      const GeneratedGrid::Grid grid = GeneratedGrid::Make();
      whole = std::make_unique<RenderLib::ObjModel>();
      RenderLib::MeshGroup group;
      for (size_t v = 0; v < grid.positions.size() / 3; ++v) {
        RenderLib::VertexNormalUV vertex;
        vertex.position = {grid.positions[3 * v], grid.positions[3 * v + 1], grid.positions[3 * v + 2]};
        vertex.normal = {grid.normals[3 * v], grid.normals[3 * v + 1], grid.normals[3 * v + 2]};
        vertex.tangent = {1.0f, 0.0f, 0.0f};
        vertex.u = grid.coordinates[2 * v];
        vertex.v = grid.coordinates[2 * v + 1];
        group.vertices.push_back(vertex);
      }
      group.indices.assign(grid.triangles.begin(), grid.triangles.end());
      whole->groups.push_back(std::move(group));
    } else {
      whole = RenderLib::LoadObj((std::string(PATINEX_SOURCE_DIR) + "/media/" + modelName + ".obj").c_str());
      if (!whole) {
        std::fprintf(stderr, "mask_spaces_bench: cannot load %s\n", modelName.c_str());
        std::exit(1);
      }
    }
    into.model = CutIntoMaterials(*whole, 8);
    into.soup = std::make_unique<RenderLib::TriangleSoup>(*into.model);
    into.tree.Build(*into.soup, 24, 16);
  });
}

void BM_AssignMaskSpaces(benchmark::State& state, const std::string& name) {
  Prepared& prepared = Get(name);
  double spacesSeconds = 0.0, samplingSeconds = 0.0;
  int32_t spaces = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    spaces = Simulation::AssignMaskSpaces(*prepared.model).count;
    const Clock::time_point middle = Clock::now();
    const Simulation::SampleMapBuild build = Simulation::BuildSampleMap(prepared.tree, *prepared.soup, 100);
    benchmark::DoNotOptimize(build.map->Count());
    const Clock::time_point end = Clock::now();
    spacesSeconds += std::chrono::duration<double>(middle - start).count();
    samplingSeconds += std::chrono::duration<double>(end - middle).count();
  }
  const double n = double(state.iterations());
  state.counters["triangles"] = double(prepared.soup->GetIndexCount() / 3);
  state.counters["spaces"] = spaces;
  state.counters["spaces_ms"] = spacesSeconds / n * 1e3;
  state.counters["sampling_ms"] = samplingSeconds / n * 1e3;
  state.counters["spaces_vs_sampling"] = spacesSeconds / samplingSeconds;
}

BENCHMARK_CAPTURE(BM_AssignMaskSpaces, bunny, std::string("bunny"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AssignMaskSpaces, beethoven, std::string("beethoven"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AssignMaskSpaces, grid, std::string("grid"))->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
