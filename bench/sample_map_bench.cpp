// The k-nearest search over a model's samples, side by side with nanoflann answering the same
// queries (k nearest within the radius) over the same points, and the time to sample a model.
#include <benchmark/benchmark.h>

#include <nanoflann.hpp>

#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/sampled_model.h"
#include "renderlib/kd_tree.h"
#include "simulation/sample_map_builder.h"

namespace {

using RenderLib::Vector3;
using Clock = std::chrono::steady_clock;

constexpr int kQueries = 200000;
constexpr int kMaxCount = 100;

// The model sampled at density 100, with queries near its surface: sample positions nudged
// by up to a spacing on each axis.
struct SampledModel : Bench::SampledModel {
  std::vector<Vector3> points;
  std::vector<Vector3> queries;
  float radius = 0;
};

SampledModel& Get(const std::string& name) {
  return Bench::CachedModel<SampledModel>(name, [](const std::string& modelName, SampledModel& model) {
    Bench::LoadSampledModel(modelName, 100, "sample_map_bench", model);
    const Simulation::SampleMap& map = *model.samples.map;
    for (uint32_t i = 0; i < map.Count(); ++i) model.points.push_back(map.Items()[i].position);
    std::mt19937 random(3);
    std::uniform_int_distribution<uint32_t> pick(0, map.Count() - 1);
    std::uniform_real_distribution<float> nudge(-1.0f, 1.0f);
    const float spacing = model.samples.spacing;
    for (int i = 0; i < kQueries; ++i) {
      Vector3 p = model.points[pick(random)];
      model.queries.push_back(p + Vector3{nudge(random), nudge(random), nudge(random)} * spacing);
    }
    const RenderLib::BoundingBox box = model.soup->GetBoundingBox();
    model.radius = 0.1f * Length(box.max - box.min);
  });
}

struct CloudAdaptor {
  const std::vector<Vector3>& points;
  size_t kdtree_get_point_count() const { return points.size(); }
  float kdtree_get_pt(size_t i, size_t dim) const { return points[i][static_cast<int>(dim)]; }
  template <class Box>
  bool kdtree_get_bbox(Box&) const { return false; }
};

using NanoflannTree =
    nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<float, CloudAdaptor>, CloudAdaptor, 3, uint32_t>;

void BM_FindNearest(benchmark::State& state, const std::string& name) {
  SampledModel& model = Get(name);
  CloudAdaptor adaptor{model.points};
  NanoflannTree nanoflann(3, adaptor, nanoflann::KDTreeSingleIndexAdaptorParams(10));
  nanoflann.buildIndex();
  auto list = std::make_unique<Simulation::NeighbourList>();
  std::vector<uint32_t> indices(kMaxCount);
  std::vector<float> distances(kMaxCount);
  double oursSeconds = 0, theirsSeconds = 0;
  uint64_t oursFound = 0, theirsFound = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    for (const Vector3& q : model.queries) {
      oursFound += Simulation::FindNearest(*model.samples.map, q, kMaxCount, model.radius, *list);
    }
    const Clock::time_point middle = Clock::now();
    for (const Vector3& q : model.queries) {
      nanoflann::KNNResultSet<float, uint32_t> result(kMaxCount);
      result.init(indices.data(), distances.data());
      distances[kMaxCount - 1] = model.radius * model.radius;  // k nearest within the radius
      const float query[3] = {q.x, q.y, q.z};
      nanoflann.findNeighbors(result, query, nanoflann::SearchParams());
      theirsFound += result.size();
    }
    const Clock::time_point end = Clock::now();
    oursSeconds += std::chrono::duration<double>(middle - start).count();
    theirsSeconds += std::chrono::duration<double>(end - middle).count();
  }
  const double total = static_cast<double>(kQueries) * static_cast<double>(state.iterations());
  state.counters["samples"] = static_cast<double>(model.points.size());
  state.counters["ours_ns_per_query"] = oursSeconds / total * 1e9;
  state.counters["nanoflann_ns_per_query"] = theirsSeconds / total * 1e9;
  state.counters["ratio"] = theirsSeconds / oursSeconds;
  state.counters["found_ours"] = static_cast<double>(oursFound) / total;
  state.counters["found_nanoflann"] = static_cast<double>(theirsFound) / total;
}

void BM_BuildSampleMap(benchmark::State& state, const std::string& name) {
  SampledModel& model = Get(name);
  const int density = static_cast<int>(state.range(0));
  uint32_t count = 0;
  for (auto _ : state) {
    Simulation::SampleMapBuild build = Simulation::BuildSampleMap(model.tree, *model.soup, density);
    count = build.map->Count();
  }
  state.counters["samples"] = count;
}

void Register() {
  for (const char* name : {"bunny", "beethoven"}) {
    benchmark::RegisterBenchmark((std::string("FindNearest/") + name).c_str(), BM_FindNearest, std::string(name))
        ->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark((std::string("BuildSampleMap/") + name).c_str(), BM_BuildSampleMap, std::string(name))
        ->Arg(100)->Arg(500)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Register();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
