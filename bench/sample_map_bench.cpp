// The k-nearest search over a model's samples, side by side with nanoflann answering the same
// queries (k nearest within the radius) over the same points, and the time to sample a model.
#include <benchmark/benchmark.h>

#include <nanoflann.hpp>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/reference_sample_map_build.h"
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

// Today's build against the reference (the build as it was before its balancing ran on the
// workers), alternating in one run so that both see the same load; the ratio is reference time
// over today's. Every iteration checks that both give the same records, byte for byte.
void BM_BuildSampleMap(benchmark::State& state, const std::string& name) {
  SampledModel& model = Get(name);
  const int density = static_cast<int>(state.range(0));
  uint32_t count = 0;
  double oursSeconds = 0, referenceSeconds = 0;
  // Processor time of all threads, which the other programs on a shared machine do not inflate.
  double oursCpu = 0, referenceCpu = 0;
  double stages[5] = {};
  for (auto _ : state) {
    Bench::ReferenceBuild reference;
    const Clock::time_point start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    Bench::ReferenceBuildSampleMap(model.tree, *model.soup, density, reference);
    const Clock::time_point middle = Clock::now();
    const std::clock_t cpuMiddle = std::clock();
    Simulation::SampleMapBuild build = Simulation::BuildSampleMap(model.tree, *model.soup, density);
    const Clock::time_point end = Clock::now();
    const std::clock_t cpuEnd = std::clock();
    referenceSeconds += std::chrono::duration<double>(middle - start).count();
    oursSeconds += std::chrono::duration<double>(end - middle).count();
    referenceCpu += static_cast<double>(cpuMiddle - cpuStart) / CLOCKS_PER_SEC;
    oursCpu += static_cast<double>(cpuEnd - cpuMiddle) / CLOCKS_PER_SEC;
    const double took[5] = {reference.samplingSeconds, reference.mergeSeconds, reference.balanceSeconds,
                            reference.orderSeconds, reference.gridSeconds};
    for (int i = 0; i < 5; ++i) stages[i] += took[i];
    count = build.map->Count();
    if (count != reference.count ||
        std::memcmp(build.map->Items(), reference.records, size_t(count) * sizeof(Simulation::SurfaceSample)) != 0) {
      state.SkipWithError("the build's records differ from the reference's");
      return;
    }
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["samples"] = count;
  state.counters["ours_s"] = oursSeconds / iterations;
  state.counters["reference_s"] = referenceSeconds / iterations;
  state.counters["ratio"] = referenceSeconds / oursSeconds;
  state.counters["ours_cpu_s"] = oursCpu / iterations;
  state.counters["reference_cpu_s"] = referenceCpu / iterations;
  state.counters["cpu_ratio"] = referenceCpu / oursCpu;
  const char* stageNames[5] = {"ref_sampling_s", "ref_merge_s", "ref_balance_s", "ref_order_s", "ref_grid_s"};
  for (int i = 0; i < 5; ++i) state.counters[stageNames[i]] = stages[i] / iterations;
}

// Today's build alone, for profiling it.
void BM_BuildSampleMapAlone(benchmark::State& state, const std::string& name) {
  SampledModel& model = Get(name);
  uint32_t count = 0;
  const int density = static_cast<int>(state.range(0));
  for (auto _ : state) count = Simulation::BuildSampleMap(model.tree, *model.soup, density).map->Count();
  state.counters["samples"] = count;
}

void Register() {
  for (const char* name : {"bunny", "beethoven"}) {
    benchmark::RegisterBenchmark((std::string("FindNearest/") + name).c_str(), BM_FindNearest, std::string(name))
        ->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark((std::string("BuildSampleMap/") + name).c_str(), BM_BuildSampleMap, std::string(name))
        ->Arg(100)->Arg(500)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
    benchmark::RegisterBenchmark((std::string("BuildSampleMapAlone/") + name).c_str(), BM_BuildSampleMapAlone,
                                 std::string(name))
        ->Arg(500)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
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
