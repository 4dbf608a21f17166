// Single-thread segment queries and builds of our kd-tree, side by side with Embree 3 on the
// same segments: each benchmark runs both and reports both rates and their ratio.
#include <benchmark/benchmark.h>
#include <embree3/rtcore.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/reference_kd_tree_build.h"
#include "renderlib/kd_tree.h"
#include "renderlib/obj_loader.h"
#include "renderlib/triangle_soup.h"

namespace {

using namespace RenderLib;
using Clock = std::chrono::steady_clock;

constexpr int kSegments = 200000;

struct Segment {
  Vector3 origin, end;
};

struct Model {
  std::unique_ptr<ObjModel> objModel;
  std::unique_ptr<TriangleSoup> soup;
  KdTree tree;
  std::vector<Segment> emission, bounce;
  RTCDevice device = nullptr;
  RTCScene scene = nullptr;
};

// A sphere of about a million triangles whose radius ripples, so the surface has relief.
std::unique_ptr<ObjModel> RipplingSphere(int segments, int rings) {
  auto model = std::make_unique<ObjModel>();
  MeshGroup& group = model->groups.emplace_back();
  for (int ring = 0; ring <= rings; ++ring) {
    for (int segment = 0; segment <= segments; ++segment) {
      const float theta = 3.14159265f * ring / rings, phi = 6.2831853f * segment / segments;
      const float radius = 1.0f + 0.05f * std::sin(7 * phi) * std::sin(5 * theta) + 0.02f * std::sin(31 * phi + 17 * theta);
      VertexNormalUV vertex;
      vertex.position = {radius * std::sin(theta) * std::cos(phi), radius * std::cos(theta), radius * std::sin(theta) * std::sin(phi)};
      group.vertices.push_back(vertex);
    }
  }
  for (int ring = 0; ring < rings; ++ring) {
    for (int segment = 0; segment < segments; ++segment) {
      const int a = ring * (segments + 1) + segment, b = a + 1, c = a + segments + 2, d = a + segments + 1;
      for (int index : {a, b, c, a, c, d}) group.indices.push_back(index);
    }
  }
  return model;
}

std::string MediaPath(const char* name) { return std::string(PATINEX_SOURCE_DIR) + "/media/" + name; }

// Emission-like segments come from the upper hemisphere of radius R (the box diagonal) about
// the middle of the box's bottom face and end there; bounce-like ones leave the hit points of
// those, 0.001 off the surface, in uniform directions of the hemisphere about the face normal.
void MakeSegments(Model& model) {
  const BoundingBox box = model.soup->GetBoundingBox();
  const Vector3 centre = (box.min + box.max) * 0.5f;
  const float radius = Length(box.max - box.min);
  const Vector3 aim{centre.x, box.min.y, centre.z};
  std::mt19937 random(1);
  std::normal_distribution<float> normal;
  auto unitVector = [&] {
    Vector3 d{normal(random), normal(random), normal(random)};
    return d / Length(d);
  };
  while (static_cast<int>(model.emission.size()) < kSegments) {
    Vector3 d = unitVector();
    d.y = std::fabs(d.y);
    model.emission.push_back({aim + d * radius, aim});
  }
  const int32_t* indices = model.soup->GetIndices();
  const VertexNormalUV* vertices = model.soup->GetVertices();
  for (size_t i = 0; static_cast<int>(model.bounce.size()) < kSegments; i = (i + 1) % model.emission.size()) {
    const Segment& s = model.emission[i];
    KdHit hit;
    if (!model.tree.Intersect({s.origin, s.end}, *model.soup, hit)) continue;
    const Vector3 direction = Normalized(s.end - s.origin);
    const Vector3 point = s.origin + direction * hit.distance;
    const Vector3& p0 = vertices[indices[3 * hit.triangle]].position;
    Vector3 n = Cross(vertices[indices[3 * hit.triangle + 1]].position - p0, vertices[indices[3 * hit.triangle + 2]].position - p0);
    if (Length(n) == 0.0f) continue;
    n = n / Length(n);
    if (Dot(n, direction) > 0) n = -n;
    Vector3 d = unitVector();
    if (Dot(d, n) < 0) d = -d;
    const Vector3 start = point + n * 0.001f;
    model.bounce.push_back({start, start + d * radius});
  }
}

void BuildEmbree(Model& model) {
  model.device = rtcNewDevice("threads=1");
  model.scene = rtcNewScene(model.device);
  RTCGeometry geometry = rtcNewGeometry(model.device, RTC_GEOMETRY_TYPE_TRIANGLE);
  const int32_t vertexCount = model.soup->GetVertexCount(), triangleCount = model.soup->GetIndexCount() / 3;
  auto* positions = static_cast<float*>(rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                                                 3 * sizeof(float), vertexCount));
  for (int32_t i = 0; i < vertexCount; ++i) {
    const Vector3& p = model.soup->GetVertices()[i].position;
    positions[3 * i] = p.x, positions[3 * i + 1] = p.y, positions[3 * i + 2] = p.z;
  }
  auto* triangles = static_cast<unsigned*>(rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                                                    3 * sizeof(unsigned), triangleCount));
  for (int32_t i = 0; i < 3 * triangleCount; ++i) triangles[i] = static_cast<unsigned>(model.soup->GetIndices()[i]);
  rtcCommitGeometry(geometry);
  rtcAttachGeometry(model.scene, geometry);
  rtcReleaseGeometry(geometry);
  rtcCommitScene(model.scene);
}

Model& GetModel(const std::string& name) {
  static std::map<std::string, std::unique_ptr<Model>> models;
  auto& slot = models[name];
  if (!slot) {
    slot = std::make_unique<Model>();
    slot->objModel = name == "sphere1m" ? RipplingSphere(1000, 500) : LoadObj(MediaPath((name + ".obj").c_str()).c_str());
    if (!slot->objModel) {
      std::fprintf(stderr, "kd_tree_bench: cannot load %s\n", name.c_str());
      std::exit(1);
    }
    slot->soup = std::make_unique<TriangleSoup>(*slot->objModel);
    slot->tree.Build(*slot->soup, 24, 16);
    MakeSegments(*slot);
    BuildEmbree(*slot);
  }
  return *slot;
}

void BM_Intersect(benchmark::State& state, const std::string& name, bool bounce) {
  Model& model = GetModel(name);
  const std::vector<Segment>& segments = bounce ? model.bounce : model.emission;
  double oursSeconds = 0, embreeSeconds = 0, oursCpuSeconds = 0;
  int64_t oursHits = 0, embreeHits = 0;
  RTCIntersectContext context;
  rtcInitIntersectContext(&context);
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    for (const Segment& s : segments) {
      KdHit hit;
      oursHits += model.tree.Intersect({s.origin, s.end}, *model.soup, hit);
    }
    oursCpuSeconds += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    Clock::time_point middle = Clock::now();
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
      rtcIntersect1(model.scene, &context, &rayHit);
      embreeHits += rayHit.hit.geomID != RTC_INVALID_GEOMETRY_ID;
    }
    Clock::time_point end = Clock::now();
    oursSeconds += std::chrono::duration<double>(middle - start).count();
    embreeSeconds += std::chrono::duration<double>(end - middle).count();
  }
  const double total = static_cast<double>(segments.size()) * static_cast<double>(state.iterations());
  state.counters["ours_Mseg_per_s"] = total / oursSeconds / 1e6;
  // Processor time, which other programs' load on a shared machine disturbs far less.
  state.counters["ours_cpu_Mseg_per_s"] = total / oursCpuSeconds / 1e6;
  state.counters["embree_Mseg_per_s"] = total / embreeSeconds / 1e6;
  state.counters["ratio"] = embreeSeconds / oursSeconds;
  state.counters["hit_share_ours"] = static_cast<double>(oursHits) / total;
  state.counters["hit_share_embree"] = static_cast<double>(embreeHits) / total;
}

// Today's build (the reference kept in bench/), ours and Embree's, timed in the same iterations;
// each iteration also checks that ours made the reference's tree node for node. Both kd-tree
// times run from the soup to the filled traversal arrays, each with its own allocation of them:
// the reference asks for huge pages before filling them, as the build did then, ours after.
void BM_Build(benchmark::State& state, const std::string& name) {
  Model& model = GetModel(name);
  double referenceSeconds = 0, oursSeconds = 0, embreeSeconds = 0, oursCpuSeconds = 0;
  bool identical = true;
  for (auto _ : state) {
    Clock::time_point before = Clock::now();
    auto reference = std::make_unique<ReferenceKdTree::Tree>();
    ReferenceKdTree::Build(*reference, *model.soup, 24, 16);
    Clock::time_point start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    KdTree tree;
    tree.Build(*model.soup, 24, 16);
    oursCpuSeconds += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    Clock::time_point middle = Clock::now();
    const std::string difference = ReferenceKdTree::FirstDifference(*reference, tree);
    if (!difference.empty()) {
      std::fprintf(stderr, "kd_tree_bench: %s: the build differs from the reference: %s\n", name.c_str(), difference.c_str());
      identical = false;
    }
    reference.reset();
    referenceSeconds += std::chrono::duration<double>(start - before).count();
    Clock::time_point embreeStart = Clock::now();
    RTCScene scene = rtcNewScene(model.device);
    RTCGeometry geometry = rtcNewGeometry(model.device, RTC_GEOMETRY_TYPE_TRIANGLE);
    rtcSetSharedGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, model.soup->GetVertices(),
                               0, sizeof(VertexNormalUV), model.soup->GetVertexCount());
    rtcSetSharedGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, model.soup->GetIndices(), 0,
                               3 * sizeof(int32_t), model.soup->GetIndexCount() / 3);
    rtcCommitGeometry(geometry);
    rtcAttachGeometry(scene, geometry);
    rtcReleaseGeometry(geometry);
    rtcCommitScene(scene);
    Clock::time_point end = Clock::now();
    rtcReleaseScene(scene);
    oursSeconds += std::chrono::duration<double>(middle - start).count();
    embreeSeconds += std::chrono::duration<double>(end - embreeStart).count();
  }
  state.counters["reference_s"] = referenceSeconds / static_cast<double>(state.iterations());
  state.counters["speedup"] = referenceSeconds / oursSeconds;
  state.counters["identical"] = identical ? 1 : 0;
  state.counters["ours_s"] = oursSeconds / static_cast<double>(state.iterations());
  state.counters["ours_cpu_s"] = oursCpuSeconds / static_cast<double>(state.iterations());
  state.counters["embree_s"] = embreeSeconds / static_cast<double>(state.iterations());
  state.counters["triangles"] = model.soup->GetIndexCount() / 3;
}

void Register() {
  for (const char* name : {"bunny", "beethoven", "sphere1m"}) {
    benchmark::RegisterBenchmark((std::string("Intersect/emission/") + name).c_str(), BM_Intersect, std::string(name), false)
        ->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark((std::string("Intersect/bounce/") + name).c_str(), BM_Intersect, std::string(name), true)
        ->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark((std::string("Build/") + name).c_str(), BM_Build, std::string(name))
        ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(name == std::string("sphere1m") ? 3 : 5);
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
