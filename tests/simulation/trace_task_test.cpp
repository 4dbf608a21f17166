#include "simulation/trace_task.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "simulation/flow_direction.h"
#include "simulation/orthonormal_basis.h"
#include "tests/support/triangle_soups.h"
#include "threadinglib/thread_pool.h"

namespace Simulation {
namespace {

using RenderLib::Length;
using RenderLib::Vector3;

// A patch of the plane through the origin with normal n, covered by a square grid of samples,
// and a large square of two triangles in the same plane for the tons to hit.
struct SurfacePatch {
  SurfacePatch(const Vector3& n, int samplesPerSide, float spacing, float quantity, float damping[3]) : normal(n) {
    Vector3 across;
    Vector3 along;
    OrthonormalBasis(normal, across, along);
    const Vector3 c[4] = {across * -4.0f + along * -4.0f, across * 4.0f + along * -4.0f, across * 4.0f + along * 4.0f,
                          across * -4.0f + along * 4.0f};
    // Wound so the face normal is n.
    const bool flip = RenderLib::Dot(RenderLib::Cross(c[1] - c[0], c[2] - c[0]), normal) < 0.0f;
    soup = flip ? TestSupport::MakeSoup({{c[0], c[2], c[1]}, {c[0], c[3], c[2]}})
                : TestSupport::MakeSoup({{c[0], c[1], c[2]}, {c[0], c[2], c[3]}});
    tree.Build(*soup, 24, 16);

    SampleArray samples;
    samples.Init(static_cast<uint32_t>(samplesPerSide * samplesPerSide));
    const float half = 0.5f * static_cast<float>(samplesPerSide - 1);
    for (int i = 0; i < samplesPerSide; ++i) {
      for (int j = 0; j < samplesPerSide; ++j) {
        SurfaceSample sample = {};
        sample.position = across * ((static_cast<float>(i) - half) * spacing) + along * ((static_cast<float>(j) - half) * spacing);
        sample.normal = normal;
        sample.humidity = sample.dirt = sample.rust = quantity;
        sample.bounceDamping = damping[0];
        sample.scatterDamping = damping[1];
        sample.flowDamping = damping[2];
        samples.Push(sample);
      }
    }
    map = std::make_unique<SampleMap>(samples);
    pool.Create(1, 1, 0);
  }

  // A ton dropped from above onto the middle of the patch.
  std::unique_ptr<TraceTask> Ton(float searchRadius) {
    auto ton = std::make_unique<TraceTask>(&pool);
    ton->position = normal * 2.0f;
    ton->target = normal * -2.0f;
    ton->searchRadius = searchRadius;
    ton->maxNeighbours = kMaxNeighbours;
    ton->kdTree = &tree;
    ton->mesh = soup.get();
    ton->sampleMap = map.get();
    return ton;
  }

  void Trace(TraceTask& ton) {
    const TradingWindow trading(*ton.sampleMap);
    ASSERT_TRUE(pool.Add(&ton));
    pool.RunAndWait();
  }

  Vector3 normal;
  std::unique_ptr<RenderLib::TriangleSoup> soup;
  RenderLib::KdTree tree;
  std::unique_ptr<SampleMap> map;
  ThreadingLib::ThreadPool pool;
};

float NoDamping[3] = {0.0f, 0.0f, 0.0f};
float FullDamping[3] = {1.0f, 1.0f, 1.0f};

TEST(TraceTask, ATonThatMissesOrFindsFewerThanThreeSamplesEndsWithoutTrading) {
  SurfacePatch patch({0, 1, 0}, 21, 0.1f, 0.5f, NoDamping);

  auto missing = patch.Ton(0.25f);
  missing->position = {5, 1, 0};
  missing->target = {6, 1, 0};
  patch.Trace(*missing);
  EXPECT_EQ(missing->legs, 1u);

  // Only the sample right under the hit lies within the radius.
  auto lonely = patch.Ton(0.05f);
  patch.Trace(*lonely);
  EXPECT_EQ(lonely->legs, 1u);
  EXPECT_EQ(lonely->carriedHumidity, 0.1f);
  EXPECT_EQ(lonely->carriedDirt, 0.2f);

  for (uint32_t i = 0; i < patch.map->Count(); ++i) {
    const SurfaceSample& sample = patch.map->Items()[i];
    ASSERT_EQ(sample.humidity, 0.5f);
    ASSERT_EQ(sample.dirt, 0.5f);
    ASSERT_EQ(sample.rust, 0.5f);
  }
}

TEST(TraceTask, SettlingLeavesHalfTheLoadSpreadEvenlyOverTheNeighbours) {
  // Full damping takes every weight to 0, which leaves nothing but settling.
  SurfacePatch patch({0, 1, 0}, 21, 0.1f, 0.0f, FullDamping);
  auto ton = patch.Ton(0.25f);
  ton->carriedRust = 0.4f;
  patch.Trace(*ton);

  EXPECT_EQ(ton->legs, 1u);
  EXPECT_EQ(ton->state, kSettle);
  double humidity = 0.0, dirt = 0.0, rust = 0.0;
  int touched = 0;
  for (uint32_t i = 0; i < patch.map->Count(); ++i) {
    const SurfaceSample& sample = patch.map->Items()[i];
    humidity += sample.humidity;
    dirt += sample.dirt;
    rust += sample.rust;
    if (sample.dirt > 0.0f) {
      ++touched;
      EXPECT_LT(Length(sample.position), 0.25f);
    }
  }
  EXPECT_GE(touched, 3);
  EXPECT_NEAR(humidity, 0.05, 1e-6);
  EXPECT_NEAR(dirt, 0.1, 1e-6);
  EXPECT_NEAR(rust, 0.2, 1e-6);
  EXPECT_EQ(ton->carriedHumidity, 0.1f);  // settling gives without taking
}

TEST(TraceTask, ABounceMovesNeighboursAtMostASixthOfTheWayAndLeavesOffTheSurface) {
  SurfacePatch patch({0, 1, 0}, 21, 0.1f, 0.5f, NoDamping);
  auto ton = patch.Ton(0.25f);
  ton->pBounce = 2.0f;  // every draw falls below it
  patch.Trace(*ton);

  // The first leg trades and bounces up, away from the plane; the second misses everything.
  EXPECT_EQ(ton->legs, 2u);
  EXPECT_EQ(ton->state, kBounce);
  EXPECT_NEAR(ton->position.y, 0.001f, 1e-6f);
  const Vector3 leg = ton->target - ton->position;
  EXPECT_NEAR(Length(leg), 2.5f, 1e-4f);  // ten search radii
  EXPECT_GE(leg.y, 0.0f);

  int found = 0;
  for (uint32_t i = 0; i < patch.map->Count(); ++i) found += Length(patch.map->Items()[i].position) < 0.25f;
  ASSERT_GE(found, 3);
  const float a = 0.5f / static_cast<float>(found);
  for (uint32_t i = 0; i < patch.map->Count(); ++i) {
    const SurfaceSample& sample = patch.map->Items()[i];
    const bool near = Length(sample.position) < 0.25f;
    EXPECT_NEAR(sample.humidity, near ? a * 0.1f + (1 - a) * 0.5f : 0.5f, 1e-6f);
    EXPECT_NEAR(sample.dirt, near ? a * 0.2f + (1 - a) * 0.5f : 0.5f, 1e-6f);
    EXPECT_NEAR(sample.rust, near ? (1 - a) * 0.5f : 0.5f, 1e-6f);
    EXPECT_LE(std::fabs(sample.humidity - 0.5f), (0.5f - 0.1f) / 6.0f + 1e-6f);
  }
  // The ton keeps what its trade with the last neighbour gave it.
  EXPECT_NEAR(ton->carriedHumidity, (1 - a) * 0.1f + a * 0.5f, 1e-6f);
  EXPECT_NEAR(ton->carriedRust, a * 0.5f, 1e-6f);
}

TEST(TraceTask, AnEmptyTonEndsEvenWhenItWouldBounce) {
  SurfacePatch patch({0, 1, 0}, 21, 0.1f, 0.0f, NoDamping);
  auto ton = patch.Ton(0.25f);
  ton->pBounce = 2.0f;
  ton->carriedHumidity = ton->carriedDirt = ton->carriedRust = 0.0f;
  patch.Trace(*ton);
  EXPECT_EQ(ton->state, kBounce);
  EXPECT_EQ(ton->legs, 1u);
}

TEST(TraceTask, AFlowingTonRunsDownhillLeavingHumidityBehindIt) {
  // A slope rising towards -x: downhill is +x.
  const Vector3 normal{0.6f, 0.8f, 0.0f};
  float damping[3] = {0.0f, 0.0f, 0.1f};
  SurfacePatch patch(normal, 41, 0.05f, 0.0f, damping);
  auto ton = patch.Ton(0.12f);
  ton->state = kFlow;
  ton->pBounce = ton->pScatter = 0.0f;
  ton->pFlow = 4.0f;
  ton->normal = normal;
  ton->position = normal * 0.001f;
  ton->sampleSpacing = 0.05f;
  const Vector3 start = ton->position;
  patch.Trace(*ton);

  EXPECT_GE(ton->legs, 3u);
  EXPECT_LT(ton->position.y, start.y - 0.05f);
  EXPECT_GT(ton->position.x, start.x + 0.05f);
  // Humidity lies along the way down, none uphill of the start.
  double downhill = 0.0;
  for (uint32_t i = 0; i < patch.map->Count(); ++i) {
    const SurfaceSample& sample = patch.map->Items()[i];
    if (sample.position.y > 0.12f) {
      EXPECT_EQ(sample.humidity, 0.0f);
    }
    if (sample.position.y < -0.05f) downhill += sample.humidity;
    EXPECT_EQ(sample.rust, 0.0f);  // flowing never moves rust
  }
  EXPECT_GT(downhill, 0.0);
}

TEST(TraceTask, OneFlowLegOnALevelSurfaceMovesAndTradesByTheExactAmounts) {
  // Level ground: the flow goes along the tangent its first draw picks, (avgHumidity × 50 + 1)
  // spacings far.
  const Vector3 up{0.0f, 1.0f, 0.0f};
  SurfacePatch patch(up, 5, 0.05f, 0.3f, NoDamping);
  auto ton = patch.Ton(1.0f);  // reaches all 25 samples: each gets a 1/25 share
  ton->state = kFlow;
  ton->pBounce = ton->pScatter = 0.0f;
  ton->pFlow = 4.0f;
  ton->normal = up;
  ton->avgHumidity = 0.2f;
  ton->carriedHumidity = 0.1f;
  ton->carriedDirt = 0.2f;
  ton->position = {0.0f, 0.001f, 0.0f};
  ton->sampleSpacing = 0.01f;
  TonRandom draws = ton->random;
  {
    const TradingWindow trading(*patch.map);
    ton->Run(0);  // one leg, outside any batch, so the ton does not go on
  }

  const Vector3 expected = Vector3{0.0f, 0.002f, 0.0f} + FlowDirection(up, draws.NextUnit()) * 0.11f;
  EXPECT_NEAR(Length(Vector3{ton->position.x, 0.0f, ton->position.z}), 0.11f, 1e-6f);
  EXPECT_NEAR(ton->position.x, expected.x, 1e-6f);
  EXPECT_NEAR(ton->position.y, expected.y, 1e-6f);
  EXPECT_NEAR(ton->position.z, expected.z, 1e-6f);
  EXPECT_EQ(ton->state, kFlow);
  EXPECT_EQ(ton->legs, 1u);
  const float a = 0.3f / 25.0f;
  for (uint32_t i = 0; i < patch.map->Count(); ++i) {
    const SurfaceSample& sample = patch.map->Items()[i];
    EXPECT_NEAR(sample.humidity, 0.3f + 0.5f / 25.0f * 0.1f, 1e-6f);  // half the carried share
    EXPECT_NEAR(sample.dirt, (1.0f - a) * 0.3f + a * 0.2f, 1e-6f);    // blended 0.3 × share
    EXPECT_EQ(sample.rust, 0.3f);
  }
  EXPECT_NEAR(ton->carriedDirt, (1.0f - a) * 0.2f + a * 0.3f, 1e-6f);
  EXPECT_EQ(ton->carriedHumidity, 0.1f);  // flowing deposits without drawing the load down
  EXPECT_NEAR(ton->avgHumidity, 0.3f, 1e-6f);
}

TEST(TraceTask, AFlowingTonEndsWhereTheNormalsAroundItCancelOut) {
  // Both faces of a sheet of no thickness: every sample has a twin facing the other way, so the
  // neighbours' normals sum to zero and there is no downhill. With a flow weight above 1 the ton
  // would otherwise flow on the spot for ever.
  float damping[3] = {0.0f, 0.0f, 0.0f};
  SurfacePatch patch({0, 1, 0}, 11, 0.1f, 0.0f, damping);
  SampleArray twins;
  twins.Init(2 * patch.map->Count());
  for (uint32_t i = 0; i < patch.map->Count(); ++i) {
    SurfaceSample sample = patch.map->Items()[i];
    twins.Push(sample);
    sample.normal = {0, -1, 0};
    twins.Push(sample);
  }
  SampleMap sheet(twins);
  auto ton = patch.Ton(10.0f);  // every sample is a neighbour
  ton->sampleMap = &sheet;
  ton->state = kFlow;
  ton->pBounce = ton->pScatter = 0.0f;
  ton->pFlow = 5.0f;
  ton->normal = {0, 1, 0};
  ton->position = {0, 0.001f, 0};
  ton->sampleSpacing = 0.1f;
  patch.Trace(*ton);
  EXPECT_EQ(ton->legs, 2u);
  EXPECT_EQ(RenderLib::Dot(ton->normal, ton->normal), 0.0f);
}

TEST(OrthonormalBasis, MakesARightHandedUnitFrameAndStaysFiniteForAZeroNormal) {
  const Vector3 normals[] = {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}, Vector3{0.3f, -0.5f, 0.81f} / Length({0.3f, -0.5f, 0.81f})};
  for (const Vector3& n : normals) {
    Vector3 t1, t2;
    OrthonormalBasis(n, t1, t2);
    EXPECT_NEAR(Length(t1), 1.0f, 1e-6f);
    EXPECT_NEAR(Length(t2), 1.0f, 1e-6f);
    EXPECT_NEAR(RenderLib::Dot(t1, n), 0.0f, 1e-6f);
    EXPECT_NEAR(RenderLib::Dot(t2, n), 0.0f, 1e-6f);
    EXPECT_NEAR(RenderLib::Dot(t1, t2), 0.0f, 1e-6f);
    EXPECT_NEAR(RenderLib::Dot(RenderLib::Cross(t1, t2), n), 1.0f, 1e-6f);
  }
  Vector3 t1, t2;
  OrthonormalBasis({0, 0, 0}, t1, t2);
  EXPECT_TRUE(std::isfinite(t1.x) && std::isfinite(t1.y) && std::isfinite(t1.z));
  EXPECT_TRUE(std::isfinite(t2.x) && std::isfinite(t2.y) && std::isfinite(t2.z));
}

}  // namespace
}  // namespace Simulation
