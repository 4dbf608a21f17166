// Times FindNearest against nanoflann answering the same k-nearest-within-radius queries over
// the same points.
#include <benchmark/benchmark.h>

#include <nanoflann.hpp>

#include <cmath>
#include <random>
#include <vector>

#include "simulation/sample_map.h"

namespace {

using RenderLib::Vector3;
using Simulation::SampleArray;
using Simulation::SampleMap;
using Simulation::SurfaceSample;

constexpr int kQueries = 200000;
constexpr int kMaxCount = 100;

struct PointSet {
  std::vector<Vector3> points;
  std::vector<Vector3> queries;
  float radius = 0;
};

// Points spread over the surface of an ellipsoid, the way samples cover a model's surface.
PointSet SurfaceCloud(size_t count) {
  PointSet set;
  std::mt19937 random(1);
  std::normal_distribution<float> normal;
  auto onSurface = [&] {
    Vector3 p{normal(random), normal(random), normal(random)};
    p = p / Length(p);
    return Vector3{p.x, p.y * 0.7f, p.z * 0.5f};
  };
  for (size_t i = 0; i < count; ++i) set.points.push_back(onSurface());
  for (int i = 0; i < kQueries; ++i) set.queries.push_back(onSurface());
  set.radius = 0.1f * Length(Vector3{2.0f, 1.4f, 1.0f});
  return set;
}

const PointSet& Cloud() {
  static PointSet set = SurfaceCloud(150000);
  return set;
}

void BM_FindNearest(benchmark::State& state) {
  const PointSet& set = Cloud();
  SampleArray samples;
  samples.Init(static_cast<uint32_t>(set.points.size()));
  for (const Vector3& p : set.points) {
    SurfaceSample sample{};
    sample.position = p;
    samples.Push(sample);
  }
  SampleMap map(samples);
  Simulation::NeighbourList list;
  size_t found = 0;
  for (auto _ : state) {
    for (const Vector3& q : set.queries) found += Simulation::FindNearest(map, q, kMaxCount, set.radius, list);
  }
  state.counters["found_per_query"] = static_cast<double>(found) / static_cast<double>(state.iterations() * kQueries);
  state.SetItemsProcessed(state.iterations() * kQueries);
}
BENCHMARK(BM_FindNearest)->Unit(benchmark::kMillisecond);

struct CloudAdaptor {
  const std::vector<Vector3>& points;
  size_t kdtree_get_point_count() const { return points.size(); }
  float kdtree_get_pt(size_t i, size_t dim) const { return points[i][static_cast<int>(dim)]; }
  template <class Box>
  bool kdtree_get_bbox(Box&) const { return false; }
};

using NanoflannTree =
    nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<float, CloudAdaptor>, CloudAdaptor, 3, uint32_t>;

void BM_NanoflannNearest(benchmark::State& state) {
  const PointSet& set = Cloud();
  CloudAdaptor adaptor{set.points};
  NanoflannTree tree(3, adaptor, nanoflann::KDTreeSingleIndexAdaptorParams(10));
  tree.buildIndex();
  std::vector<uint32_t> indices(kMaxCount);
  std::vector<float> distances(kMaxCount);
  size_t found = 0;
  for (auto _ : state) {
    for (const Vector3& q : set.queries) {
      nanoflann::KNNResultSet<float, uint32_t> result(kMaxCount);
      result.init(indices.data(), distances.data());
      // Seeding the worst slot with the radius makes the search "k nearest within radius".
      distances[kMaxCount - 1] = set.radius * set.radius;
      const float query[3] = {q.x, q.y, q.z};
      tree.findNeighbors(result, query, nanoflann::SearchParams());
      found += result.size();
    }
  }
  state.counters["found_per_query"] = static_cast<double>(found) / static_cast<double>(state.iterations() * kQueries);
  state.SetItemsProcessed(state.iterations() * kQueries);
}
BENCHMARK(BM_NanoflannNearest)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
