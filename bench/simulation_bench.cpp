// One simulation step of 100,000 tons on a shipped model sampled at density 100, traced on one
// and on two workers, and, in the same run, the two queries every leg is made of (one kd-tree
// segment query and one neighbour search) timed alone on one thread: the legs per second a
// worker could reach if tracing cost nothing but those two queries. The same segments and
// search points are timed with Embree (single-ray cast) and nanoflann (k nearest within the
// radius) too: 1 / (t_Embree + t_nanoflann) is the yardstick a worker's legs per second are
// compared with (vs_embree_nanoflann).
#include <benchmark/benchmark.h>
#include <embree3/rtcore.h>

#include <nanoflann.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/core_scaling_probe.h"
#include "bench/machine_load.h"
#include "bench/sampled_model.h"
#include "renderlib/kd_tree.h"
#include "simulation/emission_points.h"
#include "simulation/patinex_process.h"
#include "simulation/sample_map_builder.h"

namespace {

using RenderLib::Vector3;
using Clock = std::chrono::steady_clock;

constexpr int32_t kTonsPerStep = 100000;
constexpr int32_t kDensity = 100;
constexpr int kKernelQueries = 100000;
// Pairs of one-worker and two-worker steps in the scaling run: enough that the median pair is
// an undisturbed one on a machine that is busy now and then.
constexpr int kScalingPairs = 11;
constexpr int kMachineProbes = 3;

struct Segment {
  Vector3 origin, end;
};

struct SampledModel : Bench::SampledModel {
  std::vector<Simulation::SurfaceSample> fresh;  // the samples before any step, restored per step
  Simulation::EmissionGeometry emission;
  std::vector<float> points;  // one step's emission points
  // Seconds per query, single-threaded: segments like a ton's first leg and like its bounces,
  // and neighbour searches with the step's count and radius where each kind of segment hits.
  double emissionSeconds = 0, bounceSeconds = 0, findAtEmissionSeconds = 0, findAtBounceSeconds = 0;
  // The same queries answered by the yardstick libraries.
  double embreeSeconds = 0, nanoflannSeconds = 0;
};

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

Vector3 UnitVector(std::mt19937& random) {
  std::normal_distribution<float> normal;
  Vector3 d{normal(random), normal(random), normal(random)};
  return d / Length(d);
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

double TimeEmbree(const SampledModel& m, const std::vector<Segment>& segments) {
  RTCDevice device = rtcNewDevice("threads=1");
  RTCScene scene = rtcNewScene(device);
  RTCGeometry geometry = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
  const int32_t vertexCount = m.soup->GetVertexCount(), triangleCount = m.soup->GetIndexCount() / 3;
  auto* positions = static_cast<float*>(
      rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, 3 * sizeof(float), vertexCount));
  for (int32_t i = 0; i < vertexCount; ++i) {
    const Vector3& p = m.soup->GetVertices()[i].position;
    positions[3 * i] = p.x, positions[3 * i + 1] = p.y, positions[3 * i + 2] = p.z;
  }
  auto* triangles = static_cast<unsigned*>(rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                                                    3 * sizeof(unsigned), triangleCount));
  for (int32_t i = 0; i < 3 * triangleCount; ++i) triangles[i] = static_cast<unsigned>(m.soup->GetIndices()[i]);
  rtcCommitGeometry(geometry);
  rtcAttachGeometry(scene, geometry);
  rtcReleaseGeometry(geometry);
  rtcCommitScene(scene);

  RTCIntersectContext context;
  rtcInitIntersectContext(&context);
  int64_t hits = 0;
  const Clock::time_point start = Clock::now();
  for (const Segment& s : segments) {
    Vector3 d = s.end - s.origin;
    const float length = Length(d);
    d = d / length;
    RTCRayHit rayHit{};
    rayHit.ray.org_x = s.origin.x, rayHit.ray.org_y = s.origin.y, rayHit.ray.org_z = s.origin.z;
    rayHit.ray.dir_x = d.x, rayHit.ray.dir_y = d.y, rayHit.ray.dir_z = d.z;
    rayHit.ray.tnear = 0.0f;
    rayHit.ray.tfar = length;
    rayHit.ray.mask = ~0u;
    rayHit.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(scene, &context, &rayHit);
    hits += rayHit.hit.geomID != RTC_INVALID_GEOMETRY_ID;
  }
  const double seconds = Seconds(start) / static_cast<double>(segments.size());
  benchmark::DoNotOptimize(hits);
  rtcReleaseScene(scene);
  rtcReleaseDevice(device);
  return seconds;
}

double TimeNanoflann(const SampledModel& m, const std::vector<Vector3>& queries) {
  std::vector<Vector3> points;
  for (uint32_t i = 0; i < m.samples.map->Count(); ++i) points.push_back(m.samples.map->Items()[i].position);
  CloudAdaptor adaptor{points};
  NanoflannTree tree(3, adaptor, nanoflann::KDTreeSingleIndexAdaptorParams(10));
  tree.buildIndex();
  std::vector<uint32_t> indices(kDensity);
  std::vector<float> distances(kDensity);
  const float radius = 0.1f * m.emission.radius;
  uint64_t found = 0;
  const Clock::time_point start = Clock::now();
  for (const Vector3& q : queries) {
    nanoflann::KNNResultSet<float, uint32_t> result(kDensity);
    result.init(indices.data(), distances.data());
    distances[kDensity - 1] = radius * radius;  // k nearest within the radius
    const float query[3] = {q.x, q.y, q.z};
    tree.findNeighbors(result, query, nanoflann::SearchParams());
    found += result.size();
  }
  const double seconds = Seconds(start) / static_cast<double>(queries.size());
  benchmark::DoNotOptimize(found);
  return seconds;
}

// The yardsticks on the very segments and points the kernels were timed on, each kind weighted
// as in the kernels' bound.
void TimeYardsticks(SampledModel& m, const std::vector<Segment>& emission, const std::vector<Segment>& bounce,
                    const std::vector<Vector3>& hits, const std::vector<Vector3>& bounceHits) {
  m.embreeSeconds = 0.5 * (TimeEmbree(m, emission) + TimeEmbree(m, bounce));
  m.nanoflannSeconds = 0.5 * (TimeNanoflann(m, hits) + TimeNanoflann(m, bounceHits));
}

// Times the two queries of a leg on segments and points like those of a step.
void TimeKernels(SampledModel& m) {
  const float radius = m.emission.radius;
  std::mt19937 random(11);
  std::vector<Segment> emission, bounce;
  std::vector<Vector3> hits;
  while (static_cast<int>(emission.size()) < kKernelQueries) {
    Vector3 d = UnitVector(random);
    d.y = std::fabs(d.y);
    emission.push_back({m.emission.aim + d * radius, m.emission.aim});
  }
  const int32_t* indices = m.soup->GetIndices();
  const RenderLib::VertexNormalUV* vertices = m.soup->GetVertices();
  for (size_t i = 0; static_cast<int>(bounce.size()) < kKernelQueries; i = (i + 1) % emission.size()) {
    RenderLib::KdHit hit;
    if (!m.tree.Intersect({emission[i].origin, emission[i].end}, *m.soup, hit)) continue;
    const Vector3 direction = Normalized(emission[i].end - emission[i].origin);
    const Vector3 point = emission[i].origin + direction * hit.distance;
    const Vector3& p0 = vertices[indices[3 * hit.triangle]].position;
    Vector3 n = Cross(vertices[indices[3 * hit.triangle + 1]].position - p0,
                      vertices[indices[3 * hit.triangle + 2]].position - p0);
    if (Length(n) == 0.0f) continue;
    n = n / Length(n);
    if (Dot(n, direction) > 0) n = -n;
    Vector3 d = UnitVector(random);
    if (Dot(d, n) < 0) d = -d;
    const Vector3 start = point + n * 0.001f;
    bounce.push_back({start, start + d * radius});
    hits.push_back(point);
  }

  // Bounces that come back to the model land in its hollows, where more samples lie within
  // the search radius than where rain first strikes.
  std::vector<Vector3> bounceHits;
  for (const Segment& s : bounce) {
    RenderLib::KdHit hit;
    if (m.tree.Intersect({s.origin, s.end}, *m.soup, hit)) {
      bounceHits.push_back(s.origin + Normalized(s.end - s.origin) * hit.distance);
    }
  }

  RenderLib::KdHit hit;
  int64_t found = 0;
  Clock::time_point start = Clock::now();
  for (const Segment& s : emission) found += m.tree.Intersect({s.origin, s.end}, *m.soup, hit);
  m.emissionSeconds = Seconds(start) / kKernelQueries;
  start = Clock::now();
  for (const Segment& s : bounce) found += m.tree.Intersect({s.origin, s.end}, *m.soup, hit);
  m.bounceSeconds = Seconds(start) / kKernelQueries;
  auto list = std::make_unique<Simulation::NeighbourList>();
  const float searchRadius = 0.1f * radius;
  start = Clock::now();
  for (const Vector3& p : hits) found += Simulation::FindNearest(*m.samples.map, p, kDensity, searchRadius, *list);
  m.findAtEmissionSeconds = Seconds(start) / static_cast<double>(hits.size());
  start = Clock::now();
  for (const Vector3& p : bounceHits) found += Simulation::FindNearest(*m.samples.map, p, kDensity, searchRadius, *list);
  m.findAtBounceSeconds = Seconds(start) / static_cast<double>(bounceHits.size());
  benchmark::DoNotOptimize(found);
  TimeYardsticks(m, emission, bounce, hits, bounceHits);
}

SampledModel& Get(const std::string& name) {
  return Bench::CachedModel<SampledModel>(name, [](const std::string& modelName, SampledModel& m) {
    Bench::LoadSampledModel(modelName, kDensity, "simulation_bench", m);
    m.fresh.assign(m.samples.map->Items(), m.samples.map->Items() + m.samples.map->Count());
    m.emission = Simulation::EmissionGeometryFor(m.soup->GetBoundingBox());
    m.points.resize(3 * static_cast<size_t>(kTonsPerStep));
    Simulation::MakeEmissionPoints(m.points.data(), kTonsPerStep, 0.0f, m.emission);
    TimeKernels(m);
  });
}


void BM_Step(benchmark::State& state, const std::string& name) {
  static std::map<std::string, double> oneWorkerTonsPerSecond;
  SampledModel& m = Get(name);
  const int32_t workers = static_cast<int32_t>(state.range(0));
  ThreadingLib::ThreadPool pool;
  if (!pool.Create(workers, workers, 0)) {
    state.SkipWithError("cannot start the workers");
    return;
  }
  Simulation::PatinexProcess process;
  Simulation::SimulationParams params = Bench::StepParams(m, process, kTonsPerStep, kDensity);

  uint64_t legs = 0;
  double seconds = 0, cpuSeconds = 0;
  for (auto _ : state) {
    std::copy(m.fresh.begin(), m.fresh.end(), m.samples.map->Items());
    uint32_t nextPoint = 0;
    const Clock::time_point start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    legs += process.SpawnTons(pool, m.points.data(), nextPoint, 3 * kTonsPerStep, m.emission.aim, m.emission.radius,
                              params).legs;
    const double step = Seconds(start);
    cpuSeconds += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    seconds += step;
    state.SetIterationTime(step);
  }
  const double tons = static_cast<double>(kTonsPerStep) * static_cast<double>(state.iterations());
  const double tonsPerSecond = tons / seconds;
  const double legsPerSecond = static_cast<double>(legs) / seconds;
  // A leg is one neighbour search and, unless it flows, one segment query; the bound takes the
  // mean of the two kinds of segment and of the searches where they hit.
  const double intersectSeconds = 0.5 * (m.emissionSeconds + m.bounceSeconds);
  const double findSeconds = 0.5 * (m.findAtEmissionSeconds + m.findAtBounceSeconds);
  const double kernelLegsPerSecond = 1.0 / (intersectSeconds + findSeconds);
  state.counters["samples"] = m.samples.map->Count();
  state.counters["step_s"] = seconds / static_cast<double>(state.iterations());
  state.counters["tons_per_s"] = tonsPerSecond;
  state.counters["legs_per_ton"] = static_cast<double>(legs) / tons;
  state.counters["legs_per_s"] = legsPerSecond;
  // Processor time (the workers' and the waiting owner's), which other programs' load disturbs far less.
  state.counters["cpu_us_per_leg"] = cpuSeconds / static_cast<double>(legs) * 1e6;
  state.counters["legs_per_s_per_worker"] = legsPerSecond / workers;
  state.counters["intersect_ns"] = intersectSeconds * 1e9;
  state.counters["find_ns"] = findSeconds * 1e9;
  state.counters["find_at_emission_ns"] = m.findAtEmissionSeconds * 1e9;
  state.counters["find_at_bounce_ns"] = m.findAtBounceSeconds * 1e9;
  state.counters["kernel_legs_per_s"] = kernelLegsPerSecond;
  state.counters["per_worker_vs_kernels"] = legsPerSecond / workers / kernelLegsPerSecond;
  const double yardstickLegsPerSecond = 1.0 / (m.embreeSeconds + m.nanoflannSeconds);
  state.counters["embree_ns"] = m.embreeSeconds * 1e9;
  state.counters["nanoflann_ns"] = m.nanoflannSeconds * 1e9;
  state.counters["yardstick_legs_per_s"] = yardstickLegsPerSecond;
  state.counters["vs_embree_nanoflann"] = legsPerSecond / workers / yardstickLegsPerSecond;
  if (workers == 1) oneWorkerTonsPerSecond[name] = tonsPerSecond;
  if (workers > 1 && oneWorkerTonsPerSecond.count(name) != 0) {
    state.counters["speedup_vs_1"] = tonsPerSecond / oneWorkerTonsPerSecond[name];
  }
}

// The median of values (taken by copy: it reorders them).
double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  const size_t middle = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
  if (values.size() % 2 == 1) return values[middle];
  return 0.5 * (values[middle] + *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle)));
}

// Steps on one worker and on two, a pair per iteration, then the machine's own one-to-two-thread
// scaling on plain loops (Bench::MeasureCoreScaling) in the same run: legs_scaling is read
// against those. Both runs of a pair do the same work (the same tons on the same fresh
// samples) and are timed on the wall clock. Summed over the run (legs_scaling), one burst of
// other load in one run decides the ratio; so each pair also gives its own ratio, and
// legs_scaling_median, the median of those, says what the code does on a run where some pairs
// were disturbed. The pairs take turns in which run goes first, so load that builds up or dies
// down over a pair falls on the one-worker run as often as on the two-worker one. Where other
// programs keep the machine busy all along, every pair is disturbed and no median helps: so
// each run also measures how many cores the rest of the machine took meanwhile (others_cores),
// and legs_scaling_quiet is the median over the pairs where it took under a tenth of a core in
// both runs (quiet_pairs of them; 0 when there were none). It sees processor time only: a
// neighbour on another virtual machine that shares the memory bus and the stolen time the
// hypervisor does not report stay unseen.
void BM_Scaling(benchmark::State& state, const std::string& name) {
  SampledModel& m = Get(name);
  ThreadingLib::ThreadPool pools[2];
  if (!pools[0].Create(1, 1, 0) || !pools[1].Create(2, 2, 0)) {
    state.SkipWithError("cannot start the workers");
    return;
  }
  Simulation::PatinexProcess process;
  Simulation::SimulationParams params = Bench::StepParams(m, process, kTonsPerStep, kDensity);
  uint64_t legs[2] = {0, 0};
  double seconds[2] = {0, 0}, cpuSeconds[2] = {0, 0};
  std::vector<double> ratios, cpuRatios, quietRatios, others;
  constexpr double kQuiet = 0.1;
  int pair = 0;
  for (auto _ : state) {
    double iteration = 0;
    uint64_t pairLegs[2] = {0, 0};
    double pairSeconds[2] = {0, 0}, pairCpu[2] = {0, 0}, pairOthers[2] = {0, 0};
    for (int turn = 0; turn < 2; ++turn) {
      const int p = (turn + pair) % 2;
      std::copy(m.fresh.begin(), m.fresh.end(), m.samples.map->Items());
      uint32_t nextPoint = 0;
      const double busyStart = MachineBusySeconds();
      const std::clock_t cpuStart = std::clock();
      const Clock::time_point start = Clock::now();
      pairLegs[p] = process.SpawnTons(pools[p], m.points.data(), nextPoint, 3 * kTonsPerStep, m.emission.aim,
                                      m.emission.radius, params).legs;
      pairSeconds[p] = Seconds(start);
      pairCpu[p] = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
      pairOthers[p] = std::max(0.0, MachineBusySeconds() - busyStart - pairCpu[p]) / pairSeconds[p];
      others.push_back(pairOthers[p]);
      iteration += pairSeconds[p];
    }
    for (int p = 0; p < 2; ++p) {
      legs[p] += pairLegs[p];
      seconds[p] += pairSeconds[p];
      cpuSeconds[p] += pairCpu[p];
    }
    if (pairLegs[0] != 0 && pairLegs[1] != 0 && pairSeconds[0] > 0 && pairSeconds[1] > 0) {
      ratios.push_back((static_cast<double>(pairLegs[1]) / pairSeconds[1]) /
                       (static_cast<double>(pairLegs[0]) / pairSeconds[0]));
      cpuRatios.push_back(2.0 * (pairCpu[0] / static_cast<double>(pairLegs[0])) /
                          (pairCpu[1] / static_cast<double>(pairLegs[1])));
      if (pairOthers[0] < kQuiet && pairOthers[1] < kQuiet) quietRatios.push_back(ratios.back());
    }
    ++pair;
    state.SetIterationTime(iteration);
  }
  const double one = static_cast<double>(legs[0]) / seconds[0], two = static_cast<double>(legs[1]) / seconds[1];
  state.counters["legs_per_s_1"] = one;
  state.counters["legs_per_s_2"] = two;
  state.counters["legs_scaling"] = two / one;
  state.counters["legs_scaling_median"] = Median(ratios);
  state.counters["legs_scaling_quiet"] = Median(quietRatios);
  state.counters["quiet_pairs"] = static_cast<double>(quietRatios.size());
  state.counters["others_cores"] = Median(others);
  state.counters["legs_scaling_low"] = ratios.empty() ? 0 : *std::min_element(ratios.begin(), ratios.end());
  state.counters["legs_scaling_high"] = ratios.empty() ? 0 : *std::max_element(ratios.begin(), ratios.end());
  // Processor time per leg (the owner sleeps while the workers trace): what a leg costs a
  // worker whether or not other programs took its core for a while. cpu_scaling is the
  // scaling the two workers would reach with two whole cores; cores_2 is how much of the two
  // they were given.
  const double cpuPerLeg1 = cpuSeconds[0] / static_cast<double>(legs[0]);
  const double cpuPerLeg2 = cpuSeconds[1] / static_cast<double>(legs[1]);
  state.counters["cpu_us_per_leg_1"] = cpuPerLeg1 * 1e6;
  state.counters["cpu_us_per_leg_2"] = cpuPerLeg2 * 1e6;
  state.counters["cpu_scaling"] = 2.0 * cpuPerLeg1 / cpuPerLeg2;
  state.counters["cpu_scaling_median"] = Median(cpuRatios);
  state.counters["cores_1"] = cpuSeconds[0] / seconds[0];
  state.counters["cores_2"] = cpuSeconds[1] / seconds[1];
  // The probe is as open to a burst of other load as a pair is: the median of three.
  std::vector<Bench::CoreScaling> probes;
  for (int i = 0; i < kMachineProbes; ++i) probes.push_back(Bench::MeasureCoreScaling());
  auto median = [&probes](double Bench::CoreScaling::*field) {
    std::vector<double> values;
    for (const Bench::CoreScaling& probe : probes) values.push_back(probe.*field);
    return Median(values);
  };
  state.counters["machine_compute"] = median(&Bench::CoreScaling::compute);
  state.counters["machine_latency"] = median(&Bench::CoreScaling::latency);
  state.counters["machine_bandwidth"] = median(&Bench::CoreScaling::bandwidth);
  state.counters["machine_cpu_compute"] = median(&Bench::CoreScaling::cpuCompute);
  state.counters["machine_cpu_latency"] = median(&Bench::CoreScaling::cpuLatency);
  state.counters["machine_cpu_bandwidth"] = median(&Bench::CoreScaling::cpuBandwidth);
  // What the rest of the machine asked for over the run: the load average's last minute.
  std::ifstream loadFile("/proc/loadavg");
  double load = 0;
  if (loadFile >> load) state.counters["load_1min"] = load;
}

void RegisterAll() {
  benchmark::RegisterBenchmark("Scaling/beethoven", BM_Scaling, std::string("beethoven"))
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(kScalingPairs);
  for (const char* name : {"bunny", "beethoven"}) {
    benchmark::RegisterBenchmark((std::string("Step/") + name).c_str(), BM_Step, std::string(name))
        ->Arg(1)
        ->Arg(2)
        ->ArgName("workers")
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
