#include "simulation/patinex_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "renderlib/obj_loader.h"
#include "renderlib/triangle_soup.h"
#include "simulation/emission_points.h"
#include "simulation/run_record.h"
#include "simulation/sample_map_builder.h"
#include "simulation/session_file.h"
#include "simulation/surface_ageing.h"
#include "tests/support/shipped_splat.h"
#include "threadinglib/thread.h"

namespace Simulation {
namespace {

namespace fs = std::filesystem;
using RenderLib::Vector3;

// The shipped sphere with its kd-tree, loaded once for all tests.
struct Sphere {
  Sphere() {
    model = RenderLib::LoadObj((std::string(PATINEX_SOURCE_DIR) + "/media/sphere.obj").c_str());
    soup = std::make_unique<RenderLib::TriangleSoup>(*model);
    tree.Build(*soup, 24, 16);
  }
  std::unique_ptr<RenderLib::ObjModel> model;
  std::unique_ptr<RenderLib::TriangleSoup> soup;
  RenderLib::KdTree tree;
};

const Sphere& TheSphere() {
  static const Sphere sphere;
  return sphere;
}

// What the callbacks of a run saw.
struct Observed {
  std::vector<StepReport> reports;
  std::atomic<int32_t> progressCalls{0};
  PatinexProcess* stopOnProgress = nullptr;
  PatinexProcess* stopWhenAllDone = nullptr;  // on the report that every ton has ended
  PatinexProcess* stopAfterStep = nullptr;
};

void CountProgress(int32_t done, int32_t total, void* userData) {
  auto& observed = *static_cast<Observed*>(userData);
  EXPECT_LE(done, total);
  observed.progressCalls.fetch_add(1);
  if (observed.stopOnProgress != nullptr) observed.stopOnProgress->Stop();
  if (observed.stopWhenAllDone != nullptr && done == total) observed.stopWhenAllDone->Stop();
}

void KeepReport(const StepReport& report, void* userData) {
  auto& observed = *static_cast<Observed*>(userData);
  observed.reports.push_back(report);
  if (observed.stopAfterStep != nullptr) observed.stopAfterStep->Stop();
}

class PatinexProcessTest : public testing::Test {
protected:
  PatinexProcessTest()
      : folder(fs::temp_directory_path() / ("patinex_process_" + std::to_string(std::random_device{}()))) {
    fs::create_directories(folder);
    build = BuildSampleMap(TheSphere().tree, *TheSphere().soup, 40);
    params.kdTree = &TheSphere().tree;
    params.mesh = TheSphere().soup.get();
    params.sampleMap = build.map.get();
    params.steps = 1;
    params.tonsPerStep = 2000;
    params.sampleSpacing = build.spacing;
    params.uiLock = &uiLock;
    params.progress = CountProgress;
    params.finished = &finished;
    params.density = 40;
    params.stepFinished = KeepReport;
    params.userData = &observed;
    params.maskFolder = folderName.c_str();
    params.workerCount = 1;
    params.splat = &ShippedSplat();
  }
  ~PatinexProcessTest() override { fs::remove_all(folder); }

  bool MaskExists(MaskChannel channel, int32_t step) const {
    return fs::exists(MaskFileName(folderName.c_str(), channel, step));
  }
  int MaskCount() const {
    return static_cast<int>(std::count_if(fs::directory_iterator(folder), fs::directory_iterator(), [](const auto& entry) {
      return ParseMaskFileName(entry.path().filename().string(), nullptr, nullptr);
    }));
  }
  // The steps the folder's run record lists, or none when it has no readable one.
  std::vector<int32_t> RecordedSteps() const {
    RunRecord record;
    std::string error;
    std::vector<int32_t> steps;
    if (ReadRunRecord(folderName, &record, &error) != RecordState::kFound) return steps;
    for (const RecordedStep& step : record.steps) steps.push_back(step.step);
    return steps;
  }
  double Total(float SurfaceSample::*quantity) const {
    double sum = 0.0;
    for (uint32_t i = 0; i < build.map->Count(); ++i) sum += build.map->Items()[i].*quantity;
    return sum;
  }

  fs::path folder;
  std::string folderName = folder.string();
  SampleMapBuild build;
  ThreadingLib::CriticalLock uiLock;
  std::atomic<uint8_t> finished{7};
  Observed observed;
  SimulationParams params;
  PatinexProcess process;
};

TEST_F(PatinexProcessTest, RainRunsDownTheSphereAndEveryStepSavesItsMasks) {
  params.steps = 2;
  EXPECT_EQ(process.Run(&params), 0);

  EXPECT_EQ(finished.load(), 1);
  EXPECT_EQ(params.process, &process);
  ASSERT_EQ(observed.reports.size(), 2u);
  for (int32_t step = 0; step < 2; ++step) {
    EXPECT_EQ(observed.reports[step].step, step);
    EXPECT_EQ(observed.reports[step].tons, 2000u);
    EXPECT_GE(observed.reports[step].legs, 2000u);
    EXPECT_EQ(observed.reports[step].masksSaved, 3);
    for (const MaskChannel channel : kMaskChannels) EXPECT_TRUE(MaskExists(channel, step));
  }
  EXPECT_EQ(MaskCount(), 6);
  EXPECT_GT(observed.progressCalls.load(), 0);

  // The tons come from the whole upper hemisphere aimed at the bottom of the sphere, so most
  // of them strike its lower half first, and what lands higher up runs down and clings
  // underneath: dirt grows from the top down, and the top still gets some.
  double dirt[5] = {};
  int count[5] = {};
  for (uint32_t i = 0; i < build.map->Count(); ++i) {
    const SurfaceSample& sample = build.map->Items()[i];
    const int band = std::clamp(static_cast<int>((sample.position.y + 1.0f) * 2.5f), 0, 4);
    dirt[band] += sample.dirt;
    ++count[band];
  }
  for (int band = 0; band < 5; ++band) {
    ASSERT_GT(count[band], 0);
    dirt[band] /= count[band];
  }
  EXPECT_GT(dirt[4], 0.002);
  EXPECT_GT(dirt[0], 2.0 * dirt[2]);
  EXPECT_GT(dirt[2], dirt[4]);

  // The rain falls alike on every side, and flows on the level underside spread every way: the
  // lower band rusts about as much on its -x side as on its +x side.
  double rust[2] = {};
  for (uint32_t i = 0; i < build.map->Count(); ++i) {
    const SurfaceSample& sample = build.map->Items()[i];
    if (sample.position.y < -0.6f) rust[sample.position.x > 0.0f] += sample.rust;
  }
  ASSERT_GT(rust[0] + rust[1], 0.0);
  EXPECT_LT(std::max(rust[0], rust[1]), 1.5 * std::min(rust[0], rust[1]));
}

// A run that goes on from an earlier one's samples numbers its files after that run's.
TEST_F(PatinexProcessTest, ARunNumbersItsMasksFromItsFirstNumber) {
  params.firstMaskNumber = 5;
  EXPECT_EQ(process.Run(&params), 0);
  ASSERT_EQ(observed.reports.size(), 1u);
  EXPECT_EQ(observed.reports[0].step, 0);
  for (const MaskChannel channel : kMaskChannels) EXPECT_TRUE(MaskExists(channel, 5));
  EXPECT_EQ(MaskCount(), 3);
}

// The record beside the masks lists the steps of one history: a run that goes on from the same
// samples extends it; one whose surface differs (here the density), or that finds no readable
// record, lists its own steps only, so nothing else in the folder passes for its history.
TEST_F(PatinexProcessTest, TheRunRecordListsTheStepsOfOneHistory) {
  EXPECT_EQ(process.Run(&params), 0);
  EXPECT_EQ(RecordedSteps(), std::vector<int32_t>{0});
  params.firstMaskNumber = 1;
  process.Run(&params);
  EXPECT_EQ(RecordedSteps(), (std::vector<int32_t>{0, 1}));
  params.firstMaskNumber = 2;
  params.density += 1;
  process.Run(&params);
  EXPECT_EQ(RecordedSteps(), std::vector<int32_t>{2});
  std::FILE* broken = std::fopen((folder / kRunRecordName).c_str(), "w");
  ASSERT_NE(broken, nullptr);
  std::fputs("{\"patinexRun\": 1, \"steps\": ", broken);
  std::fclose(broken);
  params.firstMaskNumber = 3;
  process.Run(&params);
  EXPECT_EQ(RecordedSteps(), std::vector<int32_t>{3});
  RunRecord record;
  std::string error;
  ASSERT_EQ(ReadRunRecord(folderName, &record, &error), RecordState::kFound) << error;
  EXPECT_EQ(record.identity.density, params.density);
  EXPECT_EQ(record.identity.modelChecksum, ModelChecksum(*params.mesh));
}

TEST_F(PatinexProcessTest, AStopDuringTracingLeavesTheStepUnagedAndWithoutMasks) {
  params.steps = 3;
  observed.stopOnProgress = &process;
  process.Run(&params);

  EXPECT_EQ(finished.load(), 1);
  EXPECT_TRUE(observed.reports.empty());
  EXPECT_EQ(MaskCount(), 0);
  // Tons never make rust, only ageing does.
  EXPECT_EQ(Total(&SurfaceSample::rust), 0.0);
}

TEST_F(PatinexProcessTest, AStopAfterTheLastTonHasEndedStillSkipsAgeingAndMasks) {
  // Every ton runs to its end, so only the checks after the tracing can see this stop.
  observed.stopWhenAllDone = &process;
  process.Run(&params);

  EXPECT_EQ(finished.load(), 1);
  EXPECT_GT(Total(&SurfaceSample::dirt), 0.0);
  EXPECT_EQ(Total(&SurfaceSample::rust), 0.0);
  EXPECT_TRUE(observed.reports.empty());
  EXPECT_EQ(MaskCount(), 0);
}

TEST_F(PatinexProcessTest, AStopAfterAStepKeepsTheMasksOfThatStepOnly) {
  params.steps = 3;
  observed.stopAfterStep = &process;
  process.Run(&params);

  EXPECT_EQ(finished.load(), 1);
  ASSERT_EQ(observed.reports.size(), 1u);
  for (const MaskChannel channel : kMaskChannels) EXPECT_TRUE(MaskExists(channel, 0));
  EXPECT_EQ(MaskCount(), 3);
}

TEST_F(PatinexProcessTest, AStopBeforeTheRunOrWhileTonsAreSetUpShootsNothing) {
  process.Stop();
  process.Run(&params);
  EXPECT_EQ(finished.load(), 1);
  EXPECT_TRUE(observed.reports.empty());
  EXPECT_EQ(MaskCount(), 0);
  EXPECT_EQ(Total(&SurfaceSample::dirt), 0.0);

  ThreadingLib::ThreadPool pool;
  ASSERT_TRUE(pool.Create(1, 1, 0));
  std::vector<float> points(30, 0.0f);
  points[1] = 10.0f;  // straight above the sphere
  uint32_t nextPoint = 0;
  params.process = &process;
  PatinexProcess::TonCounts shot = process.SpawnTons(pool, points.data(), nextPoint, 30, {0, -1, 0}, 4.0f, params);
  EXPECT_EQ(shot.tons, 0u);
  EXPECT_EQ(shot.legs, 0u);
  EXPECT_EQ(Total(&SurfaceSample::dirt), 0.0);

  // The same tons without the stop do reach the sphere.
  process.ResetStop();
  shot = process.SpawnTons(pool, points.data(), nextPoint, 30, {0, -1, 0}, 4.0f, params);
  EXPECT_EQ(shot.tons, 2000u);
  EXPECT_GE(shot.legs, 2000u);
  EXPECT_GT(Total(&SurfaceSample::dirt), 0.0);
}

TEST_F(PatinexProcessTest, ProgressCountsEndedTonsInHundredsEvenWhenEveryTonMisses) {
  // 300 tons from far off aimed past the sphere: each ends after one leg that hits nothing.
  std::vector<int32_t> reported;
  params.tonsPerStep = 300;
  params.userData = &reported;
  params.progress = [](int32_t done, int32_t total, void* userData) {
    EXPECT_EQ(total, 300);
    static_cast<std::vector<int32_t>*>(userData)->push_back(done);
  };
  params.process = &process;
  ThreadingLib::ThreadPool pool;
  ASSERT_TRUE(pool.Create(1, 1, 0));
  std::vector<float> points(900, 10.0f);
  uint32_t nextPoint = 0;
  const PatinexProcess::TonCounts shot = process.SpawnTons(pool, points.data(), nextPoint, 900, {20, 20, 20}, 4.0f, params);
  EXPECT_EQ(shot.tons, 300u);
  EXPECT_EQ(shot.legs, 300u);
  EXPECT_EQ(reported, (std::vector<int32_t>{100, 200, 300}));
  EXPECT_EQ(Total(&SurfaceSample::dirt), 0.0);
}

TEST_F(PatinexProcessTest, EveryTonStartsBouncingWithTheSameLoadWeightsAndReach) {
  ThreadingLib::ThreadPool pool;
  TraceTask ton(&pool);
  ton.state = kSettle;
  ton.carriedRust = 5.0f;
  ton.normal = {1, 2, 3};
  ton.legs = 9;
  PatinexProcess::StartTon(ton, {1, 2, 3}, 4.0f, params, nullptr);
  EXPECT_EQ(ton.state, kBounce);
  EXPECT_EQ(ton.pBounce, 0.8f);
  EXPECT_EQ(ton.pScatter, 0.8f);
  EXPECT_EQ(ton.pFlow, 0.8f);
  EXPECT_EQ(ton.carriedHumidity, 0.1f);
  EXPECT_EQ(ton.carriedDirt, 0.2f);
  EXPECT_EQ(ton.carriedRust, 0.0f);
  EXPECT_FLOAT_EQ(ton.searchRadius, 0.4f);  // R × 0.1
  EXPECT_EQ(ton.maxNeighbours, 40);         // the density
  EXPECT_EQ(ton.target, Vector3(1, 2, 3));
  EXPECT_EQ(ton.normal, Vector3(0, 0, 0));
  EXPECT_EQ(ton.sampleMap, params.sampleMap);
  EXPECT_EQ(ton.sampleSpacing, params.sampleSpacing);
  EXPECT_EQ(ton.legs, 0u);
}

TEST_F(PatinexProcessTest, ANullBlockIsRefusedAndNothingRuns) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(process.Run(nullptr), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("no parameters"), std::string::npos);
  EXPECT_EQ(MaskCount(), 0);
}

TEST_F(PatinexProcessTest, ASeededRunRepeatsExactlyAndAnotherSeedRunsDifferently) {
  auto runWithSeed = [&](uint32_t seed) {
    build = BuildSampleMap(TheSphere().tree, *TheSphere().soup, 40);
    params.sampleMap = build.map.get();
    params.seeded = true;
    params.seed = seed;
    process.Run(&params);
    return std::make_pair(observed.reports.back().emissionRotation, Total(&SurfaceSample::dirt));
  };
  const auto first = runWithSeed(11);
  EXPECT_EQ(runWithSeed(11), first);
  const auto other = runWithSeed(12);
  EXPECT_NE(other.first, first.first);
  EXPECT_NE(other.second, first.second);
  // Other tests find the process-wide stream as a program start leaves it.
  SeedRandomStreams(RandomStream::kDefaultSeed);
}

// A seeded run of three steps in one go, and one of two steps continued from the session it
// kept by a run of one: the same samples and the same masks of the third step, byte for byte.
TEST_F(PatinexProcessTest, ARunContinuedFromItsSessionEqualsAnUninterruptedOne) {
  const auto bytesOf = [](const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  params.seeded = true;
  params.seed = 21;
  params.tonsPerStep = 700;
  params.steps = 3;
  process.Run(&params);
  const std::vector<SurfaceSample> whole(build.map->Items(), build.map->Items() + build.map->Count());
  const std::string wholeDirt = bytesOf(MaskFileName(folderName.c_str(), MaskChannel::kDirt, 2));
  ASSERT_FALSE(wholeDirt.empty());

  fs::remove_all(folder);
  fs::create_directories(folder);
  build = BuildSampleMap(TheSphere().tree, *TheSphere().soup, 40);
  params.sampleMap = build.map.get();
  params.steps = 2;
  process.Run(&params);
  SessionState session;
  std::string error;
  ASSERT_EQ(ReadSessionFile(folderName, &session, &error), SessionLoad::kFound) << error;
  EXPECT_EQ(session.lastStep, 1);
  EXPECT_EQ(session.emissionsUsed, 1400u);
  SampleMap continued(session.samples.data(), uint32_t(session.samples.size()), session.identity.maskSpaces);
  params.sampleMap = &continued;
  params.steps = 1;
  params.firstMaskNumber = session.lastStep + 1;
  params.resumed = true;
  params.emissionRotation = session.emissionRotation;
  params.emissionsUsed = session.emissionsUsed;
  PatinexProcess next;
  next.Run(&params);
  ASSERT_EQ(continued.Count(), whole.size());
  EXPECT_EQ(std::memcmp(continued.Items(), whole.data(), whole.size() * sizeof(SurfaceSample)), 0);
  EXPECT_EQ(bytesOf(MaskFileName(folderName.c_str(), MaskChannel::kDirt, 2)), wholeDirt);
  EXPECT_EQ(RecordedSteps(), (std::vector<int32_t>{0, 1, 2}));
  SeedRandomStreams(RandomStream::kDefaultSeed);
}

// A reproducible run gives the same samples and masks, byte for byte, on one worker and on two,
// and remembers its mode in the record and the session for a continuation.
TEST_F(PatinexProcessTest, AReproducibleRunIsTheSameOnAnyNumberOfWorkers) {
  const auto bytesOf = [](const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  params.seeded = true;
  params.seed = 33;
  params.deterministic = true;
  params.tonsPerStep = 1300;  // batches of 512, 512 and 276
  const auto runOn = [&](int32_t workers) {
    build = BuildSampleMap(TheSphere().tree, *TheSphere().soup, 40);
    params.sampleMap = build.map.get();
    params.workerCount = workers;
    process.Run(&params);
    std::string masks;
    for (const MaskChannel channel : kMaskChannels) masks += bytesOf(MaskFileName(folderName.c_str(), channel, 0));
    return std::make_pair(std::vector<SurfaceSample>(build.map->Items(), build.map->Items() + build.map->Count()), masks);
  };
  const auto two = runOn(2);
  ASSERT_GT(Total(&SurfaceSample::rust), 0.0);
  for (const auto& other : {runOn(2), runOn(1)}) {
    ASSERT_EQ(other.first.size(), two.first.size());
    EXPECT_EQ(std::memcmp(other.first.data(), two.first.data(), two.first.size() * sizeof(SurfaceSample)), 0);
    EXPECT_TRUE(other.second == two.second);
  }
  RunRecord record;
  std::string error;
  ASSERT_EQ(ReadRunRecord(folderName, &record, &error), RecordState::kFound) << error;
  ASSERT_EQ(record.steps.size(), 1u);
  EXPECT_TRUE(record.steps[0].deterministic);
  SessionState session;
  ASSERT_EQ(ReadSessionFile(folderName, &session, &error), SessionLoad::kFound) << error;
  EXPECT_TRUE(session.deterministic);
  SeedRandomStreams(RandomStream::kDefaultSeed);
}

TEST_F(PatinexProcessTest, EachRunTurnsTheEmissionPointsByANewAngle) {
  process.Run(&params);
  process.Run(&params);
  ASSERT_EQ(observed.reports.size(), 2u);
  EXPECT_NE(observed.reports[0].emissionRotation, observed.reports[1].emissionRotation);
  for (const StepReport& report : observed.reports) {
    EXPECT_GE(report.emissionRotation, 0.0f);
    EXPECT_LE(report.emissionRotation, 6.2831855f);
  }
}

// Run from its own thread with two workers and stopped from a third, as the programs do. The
// thread sanitizer build runs this to prove the trades and the stop free of data races.
TEST_F(PatinexProcessTest, ARunOnItsThreadWithTwoWorkersStopsCleanlyWhenAsked) {
  params.steps = 4;
  params.tonsPerStep = 3000;
  params.workerCount = 2;
  ThreadingLib::Thread thread("weather-test", &process, 2, 0);
  ASSERT_TRUE(thread.Start(&params, sizeof params));
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    thread.Stop();
  });
  thread.Wait();
  stopper.join();
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(finished.load(), 1);
  // Whatever steps were finished saved all their masks, and none of a step that was not.
  EXPECT_EQ(MaskCount(), 3 * static_cast<int>(observed.reports.size()));
}

// A narrow cone from +x wets the sphere's +x side, which faces it, far more than its -x side,
// and the record and the session say where the weather came from.
TEST_F(PatinexProcessTest, WeatherFromOneSideAgesThatSideOfTheModel) {
  std::string error;
  ASSERT_TRUE(MakeEmissionSource({2.0f, 0.0f, 0.0f}, 20.0f, &params.source, &error)) << error;
  params.tonsPerStep = 1000;
  process.Run(&params);
  ASSERT_EQ(observed.reports.size(), 1u);
  double facing = 0.0, away = 0.0;
  for (uint32_t i = 0; i < build.map->Count(); ++i) {
    const SurfaceSample& sample = build.map->Items()[i];
    if (sample.normal.x > 0.5f) facing += sample.humidity + sample.dirt;
    if (sample.normal.x < -0.5f) away += sample.humidity + sample.dirt;
  }
  EXPECT_GT(facing, 3.0 * away) << facing << " against " << away;
  RunRecord record;
  ASSERT_EQ(ReadRunRecord(folderName, &record, &error), RecordState::kFound) << error;
  ASSERT_EQ(record.steps.size(), 1u);
  EXPECT_EQ(record.steps[0].source.towards, Vector3(1.0f, 0.0f, 0.0f));
  EXPECT_EQ(record.steps[0].source.spreadDegrees, 20.0f);
  SessionState session;
  ASSERT_EQ(ReadSessionFile(folderName, &session, &error), SessionLoad::kFound) << error;
  EXPECT_EQ(session.source.towards, Vector3(1.0f, 0.0f, 0.0f));
  EXPECT_EQ(session.source.spreadDegrees, 20.0f);
}

TEST(EmissionPoints, LieOnTheUpperHemisphereAboutTheAimPointAndTurnAboutTheVertical) {
  RenderLib::BoundingBox box;
  box.Extend({-1.0f, 2.0f, 0.0f});
  box.Extend({3.0f, 4.0f, 1.0f});
  const EmissionGeometry geometry = EmissionGeometryFor(box);
  EXPECT_NEAR(geometry.radius, std::sqrt(16.0f + 4.0f + 1.0f), 1e-5f);
  EXPECT_EQ(geometry.aim, Vector3(1.0f, 2.0f, 0.5f));

  constexpr uint32_t kCount = 4096;
  std::vector<float> still(3 * kCount), turned(3 * kCount);
  MakeEmissionPoints(still.data(), kCount, 0.0f, geometry);
  const float rotation = 1.1f;
  MakeEmissionPoints(turned.data(), kCount, rotation, geometry);
  for (uint32_t i = 0; i < kCount; ++i) {
    const Vector3 a{still[3 * i], still[3 * i + 1], still[3 * i + 2]};
    const Vector3 b{turned[3 * i], turned[3 * i + 1], turned[3 * i + 2]};
    ASSERT_GE(a.y, box.min.y);
    ASSERT_NEAR(RenderLib::Length(a - geometry.aim), geometry.radius, 1e-4f * geometry.radius);
    // b is a turned about the vertical line through the aim point.
    const float x = a.x - geometry.aim.x, z = a.z - geometry.aim.z;
    ASSERT_NEAR(b.x - geometry.aim.x, x * std::cos(rotation) - z * std::sin(rotation), 1e-4f * geometry.radius);
    ASSERT_NEAR(b.z - geometry.aim.z, x * std::sin(rotation) + z * std::cos(rotation), 1e-4f * geometry.radius);
    ASSERT_EQ(b.y, a.y);
  }
}

TEST(AgeSamples, DriesAFifthOfTheHumidityIntoRustAndDampsBouncesOnSlopes) {
  SampleArray samples;
  samples.Init(2);
  SurfaceSample wetWall = {};
  wetWall.humidity = 0.5f;
  wetWall.rust = 0.25f;
  wetWall.normal = {1, 0, 0};
  SurfaceSample dryFloor = {};
  dryFloor.normal = {0, -1, 0};
  dryFloor.position = {1, 1, 1};
  samples.Push(wetWall);
  samples.Push(dryFloor);
  SampleMap map(samples);
  AgeSamples(map);
  for (uint32_t i = 0; i < map.Count(); ++i) {
    const SurfaceSample& sample = map.Items()[i];
    if (sample.normal.x == 1.0f) {
      EXPECT_FLOAT_EQ(sample.rust, 0.25f + 2.0f * 0.25f);  // rust from the humidity before drying
      EXPECT_FLOAT_EQ(sample.humidity, 0.4f);
      EXPECT_FLOAT_EQ(sample.bounceDamping, 0.6f * 0.2f);
    } else {
      EXPECT_EQ(sample.rust, 0.0f);
      EXPECT_EQ(sample.bounceDamping, 0.0f);  // a level surface never damps bounces
    }
  }
}

}  // namespace
}  // namespace Simulation
