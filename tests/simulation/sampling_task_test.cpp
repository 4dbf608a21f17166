#include "simulation/sampling_task.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <thread>

#include "renderlib/obj_loader.h"
#include "simulation/sample_map_builder.h"
#include "tests/support/triangle_soups.h"

namespace Simulation {
namespace {

using RenderLib::BoundingBox;
using RenderLib::Vector3;
using TestSupport::Box;
using TestSupport::MakeSoup;

BoundingBox MakeBox(Vector3 lo, Vector3 hi) {
  BoundingBox box;
  box.Extend(lo);
  box.Extend(hi);
  return box;
}

// The shipped unit sphere, its triangles and their kd-tree.
struct ShippedSphere {
  ShippedSphere() {
    model = RenderLib::LoadObj((std::string(PATINEX_SOURCE_DIR) + "/media/sphere.obj").c_str());
    if (model == nullptr) return;
    soup = std::make_unique<RenderLib::TriangleSoup>(*model);
    tree.Build(*soup, 24, 16);
  }
  std::unique_ptr<RenderLib::ObjModel> model;
  std::unique_ptr<RenderLib::TriangleSoup> soup;
  RenderLib::KdTree tree;
};

TEST(SamplingTask, SpacingAndRayCountsFollowTheSmallestExtent) {
  const BoundingBox sphere = MakeBox({-1, -1, -1}, {1, 1, 1});
  EXPECT_FLOAT_EQ(SampleSpacing(sphere, 100), 0.02f);
  for (int side = 0; side < 6; ++side) EXPECT_EQ(RaysPerSide(sphere, 0.02f, side), 2.0 * 101 * 101);

  const BoundingBox cube = MakeBox({0, 0, 0}, {3, 3, 3});
  EXPECT_FLOAT_EQ(SampleSpacing(cube, 1), 3.0f);
  EXPECT_EQ(RaysPerSide(cube, 3.0f, 2), 8.0);

  // Flat along y: the smallest extent that is not zero sets the spacing; flat along every axis
  // gives none at all.
  EXPECT_FLOAT_EQ(SampleSpacing(MakeBox({0, 0, 0}, {4, 0, 2}), 10), 0.2f);
  EXPECT_EQ(SampleSpacing(MakeBox({1, 1, 1}, {1, 1, 1}), 10), 0.0f);
  EXPECT_EQ(SampleSpacing(BoundingBox(), 10), 0.0f);
}

TEST(SamplingTask, EverySideOfACubeSamplesOnlyTheFaceTurnedTowardsIt) {
  auto soup = MakeSoup(Box({0, 0, 0}, {1, 2, 3}));
  RenderLib::KdTree tree;
  tree.Build(*soup, 24, 16);
  for (int side = 0; side < 6; ++side) {
    SamplingTask task(nullptr);
    task.density = 20;
    task.direction = side;
    task.kdTree = &tree;
    task.mesh = soup.get();
    task.Run(0);
    EXPECT_FLOAT_EQ(task.sampleSpacing, 0.05f);
    ASSERT_GT(task.samples.Count(), 100u) << side;
    // Sides 0..5 look along +z, -y, +x, -z, +y, -x and see the faces at z = 0, y = 2, x = 0,
    // z = 3, y = 0 and x = 1, whose outward normals point back at them.
    const int axis[6] = {2, 1, 0, 2, 1, 0};
    const float plane[6] = {0, 2, 0, 3, 0, 1};
    const float normal[6] = {-1, 1, -1, 1, -1, 1};
    for (uint32_t i = 0; i < task.samples.Count(); ++i) {
      const SurfaceSample& sample = task.samples[i];
      ASSERT_FLOAT_EQ(sample.position[axis[side]], plane[side]);
      ASSERT_FLOAT_EQ(sample.normal[axis[side]], normal[side]);
      EXPECT_EQ(sample.scatterDamping, 1.0f);
      EXPECT_EQ(sample.flowDamping, sample.normal.y);
      EXPECT_FLOAT_EQ(sample.bounceDamping, sample.normal.y * sample.normal.y);
      EXPECT_GT(sample.area, 0.0f);
    }
  }
}

TEST(SamplingTask, SamplesInterpolateTheHitTrianglesAttributes) {
  ShippedSphere sphere;
  ASSERT_NE(sphere.soup, nullptr);
  const RenderLib::KdTree& tree = sphere.tree;
  const RenderLib::TriangleSoup& soup = *sphere.soup;
  SampleMapBuild build = BuildSampleMap(tree, soup, 20);
  EXPECT_FLOAT_EQ(build.spacing, 0.1f);
  ASSERT_GT(build.map->Count(), 2000u);
  for (uint32_t i = 0; i < build.map->Count(); ++i) {
    const SurfaceSample& sample = build.map->Items()[i];
    ASSERT_NEAR(Length(sample.position), 1.0f, 0.01f);
    EXPECT_NEAR(Dot(sample.normal, sample.position), 1.0f, 0.01f);
    EXPECT_NEAR(Length(sample.tangent), 1.0f, 1e-4f);
    EXPECT_NEAR(Dot(sample.tangent, sample.normal), 0.0f, 0.05f);
    EXPECT_NEAR(Dot(sample.bitangent, Cross(sample.normal, sample.tangent)), 1.0f, 0.05f);
    EXPECT_GE(sample.u, 0.0f);
    EXPECT_LE(sample.u, 1.0f);
    // The sphere's v runs from the south pole (0) to the north pole (1).
    EXPECT_NEAR(sample.v, std::acos(-sample.position.y) / 3.14159265f, 0.02f);
    EXPECT_GE(sample.uExtent, 0.0f);
    EXPECT_LT(sample.uExtent, 0.5f);
  }
}

TEST(SampleMapBuilder, GivesTheRecordsOfWholeSidesJoinedAndBalancedOnOneThread) {
  ShippedSphere sphere;
  ASSERT_NE(sphere.soup, nullptr);
  const RenderLib::KdTree& tree = sphere.tree;
  const RenderLib::TriangleSoup& soup = *sphere.soup;
  // Dense enough for the balancing and the copy to go to the workers.
  const float initial[3] = {0.25f, 0.5f, 0.75f};
  SampleMapBuild build = BuildSampleMap(tree, soup, 100, initial);

  SampleArray joined;
  for (int side = 5; side >= 0; --side) {
    SamplingTask task(nullptr);
    task.density = 100;
    task.direction = side;
    for (int i = 0; i < 3; ++i) task.initialValues[i] = initial[i];
    task.kdTree = &tree;
    task.mesh = &soup;
    task.Run(0);
    ASSERT_TRUE(task.samples.Append(joined));
    joined.Swap(task.samples);
  }
  SampleMap plain(joined);
  ASSERT_GT(plain.Count(), 70000u);
  ASSERT_EQ(build.map->Count(), plain.Count());
  EXPECT_EQ(std::memcmp(build.map->Items(), plain.Items(), plain.Count() * sizeof(SurfaceSample)), 0);
}

TEST(SampleMapBuilder, ReportsAGrowingShareUpToTheWholeAndGivesNoMapOnceCancelled) {
  ShippedSphere sphere;
  ASSERT_NE(sphere.soup, nullptr);
  std::atomic<float> progress{0.0f};
  std::atomic<bool> cancel{false};
  const SamplingControl control{&progress, &cancel};
  std::atomic<bool> finished{false};
  bool shrank = false;
  std::thread watcher([&] {
    for (float last = 0.0f; !finished.load();) {
      const float now = progress.load();
      shrank = shrank || now < last;
      last = now;
    }
  });
  SampleMapBuild build = BuildSampleMap(sphere.tree, *sphere.soup, 100, nullptr, &control);
  finished = true;
  watcher.join();
  EXPECT_FALSE(shrank);
  EXPECT_EQ(progress.load(), 1.0f);
  // Followed, the sampling gives the same map.
  SampleMapBuild plain = BuildSampleMap(sphere.tree, *sphere.soup, 100);
  ASSERT_NE(build.map, nullptr);
  ASSERT_EQ(build.map->Count(), plain.map->Count());
  EXPECT_EQ(std::memcmp(build.map->Items(), plain.map->Items(), plain.map->Count() * sizeof(SurfaceSample)), 0);

  cancel = true;
  progress = 0.0f;
  EXPECT_EQ(BuildSampleMap(sphere.tree, *sphere.soup, 100, nullptr, &control).map, nullptr);
  EXPECT_LE(progress.load(), kCastingEnds);

  // Cancelled while the map is built from the hits: it stops after the balancing, empty.
  SamplingTask task(nullptr);
  task.density = 100;
  task.kdTree = &sphere.tree;
  task.mesh = sphere.soup.get();
  task.keepHits = true;
  task.Run(0);
  ASSERT_GT(task.hits.size(), 10000u);
  SamplingProgress mapProgress(control);
  const float initial[3] = {0.0f, 0.0f, 0.0f};
  SampleMap map(&task.hits, 1, *sphere.soup, initial, nullptr, &mapProgress);
  EXPECT_EQ(map.Count(), 0u);
}

TEST(SampleMapBuilder, FlatModelsAreSampledFromTheirTwoSidesAndPointsNotAtAll) {
  // One quad in the plane y = 0.5.
  auto quad = MakeSoup({{Vector3{0, 0.5f, 0}, Vector3{2, 0.5f, 0}, Vector3{2, 0.5f, 1}},
                        {Vector3{0, 0.5f, 0}, Vector3{2, 0.5f, 1}, Vector3{0, 0.5f, 1}}});
  RenderLib::KdTree tree;
  tree.Build(*quad, 24, 16);
  SampleMapBuild build = BuildSampleMap(tree, *quad, 10);
  EXPECT_FLOAT_EQ(build.spacing, 0.1f);
  ASSERT_GT(build.map->Count(), 300u);
  for (uint32_t i = 0; i < build.map->Count(); ++i) EXPECT_EQ(build.map->Items()[i].position.y, 0.5f);

  auto point = MakeSoup({{Vector3{1, 1, 1}, Vector3{1, 1, 1}, Vector3{1, 1, 1}}});
  RenderLib::KdTree pointTree;
  pointTree.Build(*point, 24, 16);
  SampleMapBuild none = BuildSampleMap(pointTree, *point, 100);
  EXPECT_EQ(none.map->Count(), 0u);
  EXPECT_EQ(none.spacing, 0.0f);
}

}  // namespace
}  // namespace Simulation
