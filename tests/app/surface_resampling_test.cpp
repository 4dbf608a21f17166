#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "app/background_sampling.h"
#include "app/simulation_control.h"
#include "app/surface_samples.h"
#include "renderlib/obj_loader.h"
#include "tests/app/application_driver.h"

using namespace AppDriver;

namespace {

// The surface samples are made off the window thread: the window goes on drawing, a run waits
// for them, and whatever frees the model cancels them without waiting.
class SurfaceResampling : public testing::Test {
protected:
  void SetUp() override {
    if (!HasDisplay()) GTEST_SKIP() << "needs a display";
    ASSERT_TRUE(Environment::started);
    EndRunningSimulation();
    if (App().parametersPanel.GetComboBox(ID_MODEL)->GetSelectedIndex() != 0) Pick(0);
    Frames(1);
  }
  void TearDown() override {
    if (!HasDisplay()) return;
    EndRunningSimulation();
    Pick(0);
    App().parametersPanel.GetEditBox(ID_DENSITY)->SetText("100");
  }

  // Types the density and runs frames until its countdown has started the sampling.
  static void EditDensity(const char* density) {
    TypeInto(ID_DENSITY, density);
    ASSERT_TRUE(FramesUntil([] { return App().resampleCountdown == 0.0f; }, 10.0));
  }
};

TEST_F(SurfaceResampling, ADensityEditSamplesWhileFramesGoOnAndReportsAGrowingShare) {
  Pick(2);  // the bust: at density 300 its sampling takes a while
  EditDensity("300");
  ASSERT_TRUE(ResamplingUnderWay());
  EXPECT_EQ(App().sampleMap, nullptr);
  EXPECT_EQ(App().showSamples, 0);  // the model stays until the points are in
  int framesMeanwhile = 0;
  float last = 0.0f;
  bool shrank = false;
  ASSERT_TRUE(FramesUntil([&] {
    const float share = App().resampleProgress.load();
    if (!ResamplingUnderWay()) return true;
    ++framesMeanwhile;
    shrank = shrank || share < last || share > 1.0f;
    last = share;
    return false;
  }, 60.0));
  EXPECT_GT(framesMeanwhile, 1);
  EXPECT_FALSE(shrank);
  EXPECT_EQ(App().resampleProgress.load(), -1.0f);
  ASSERT_NE(App().sampleMap, nullptr);
  EXPECT_GT(App().sampleMap->Count(), 100000u);
  EXPECT_EQ(App().density, 300);
  EXPECT_EQ(App().showSamples, 1);
}

TEST_F(SurfaceResampling, WeatherRightAfterADensityEditRunsOnceTheNewSamplesAreIn) {
  Pick(1);
  App().parametersPanel.GetEditBox(ID_STEPS)->SetText("1");
  App().parametersPanel.GetEditBox(ID_TONS_PER_STEP)->SetText("2000");
  TypeInto(ID_DENSITY, "80");
  PressWeather();  // the edit's countdown has not run out
  EXPECT_EQ(WeatherText(), "Stop");
  EXPECT_TRUE(SimulationKept());
  EXPECT_EQ(App().simulationThread, nullptr);
  EXPECT_TRUE(ResamplingUnderWay());
  EXPECT_LE(App().resampleCountdown, 0.0f);  // settled: no second sampling later ends the run
  ASSERT_TRUE(FramesUntil([] { return App().simulationThread != nullptr; }, 30.0));
  EXPECT_EQ(App().density, 80);
  ASSERT_TRUE(FramesUntil([] { return !SimulationKept(); }, 60.0));
  EXPECT_GT(App().runLegs.load(), 0u);
  EXPECT_EQ(App().showSamples, 0);
  EXPECT_EQ(WeatherText(), "Weather");
}

TEST_F(SurfaceResampling, StopWhileARunWaitsForItsSamplesDropsTheRunButNotTheSamples) {
  Pick(2);
  EditDensity("250");
  PressWeather();
  ASSERT_EQ(WeatherText(), "Stop");
  PressWeather();
  EXPECT_EQ(WeatherText(), "Weather");
  EXPECT_FALSE(SimulationKept());
  ASSERT_TRUE(FramesUntil([] { return App().sampleMap != nullptr; }, 60.0));
  EXPECT_EQ(App().simulationThread, nullptr);
  EXPECT_EQ(App().showSamples, 1);
}

TEST_F(SurfaceResampling, AnotherModelOrADeviceChangeCancelsTheSamplingWhichLetsGoOfTheOldModel) {
  Pick(2);
  EditDensity("400");
  ASSERT_TRUE(ResamplingUnderWay());
  const std::weak_ptr<RenderLib::KdTree> oldTree = App().kdTree;
  Pick(1);
  EXPECT_FALSE(ResamplingUnderWay());
  EXPECT_EQ(App().resampleProgress.load(), -1.0f);
  // The cancelled sampling stops soon and frees the bust's tree; its samples never arrive.
  ASSERT_TRUE(FramesUntil([&] { return oldTree.expired(); }, 60.0));
  Frames(2);
  EXPECT_EQ(App().sampleMap, nullptr);

  EditDensity("200");
  ASSERT_TRUE(ResamplingUnderWay());
  Click(App().devicePanel, 90, 93);  // WARP
  RunPendingDeviceChange();
  Frames(2);
  EXPECT_FALSE(ResamplingUnderWay());
  EXPECT_EQ(App().sampleMap, nullptr);
  Click(App().devicePanel, 90, 93);
  RunPendingDeviceChange();
  Frames(2);
}

// Without the window: the sampling thread itself.
struct SharedSphere {
  SharedSphere() {
    const std::unique_ptr<RenderLib::ObjModel> model =
        RenderLib::LoadObj((std::string(PATINEX_SOURCE_DIR) + "/media/sphere.obj").c_str());
    if (model == nullptr) return;
    soup = std::make_shared<RenderLib::TriangleSoupStaticMesh>(*model);
    tree = std::make_shared<RenderLib::KdTree>();
    tree->Build(*soup, 24, 16);
  }
  std::shared_ptr<RenderLib::TriangleSoupStaticMesh> soup;
  std::shared_ptr<RenderLib::KdTree> tree;
};

TEST(BackgroundSampling, GivesTheMapOnceAndAnEndedOrCancelledSamplingHoldsNothing) {
  SharedSphere sphere;
  ASSERT_NE(sphere.soup, nullptr);
  BackgroundSampling sampling;
  Simulation::SampleMapBuild build;
  EXPECT_FALSE(sampling.TakeFinished(build));
  EXPECT_EQ(sampling.Progress(), -1.0f);

  sampling.Start(sphere.tree, sphere.soup, 60);
  EXPECT_TRUE(sampling.UnderWay());
  const auto start = std::chrono::steady_clock::now();
  while (!sampling.TakeFinished(build) && std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_NE(build.map, nullptr);
  EXPECT_EQ(build.map->Count(), Simulation::BuildSampleMap(*sphere.tree, *sphere.soup, 60).map->Count());
  EXPECT_FALSE(sampling.UnderWay());
  EXPECT_FALSE(sampling.TakeFinished(build));

  // Cancelled (or still running when its owner goes), a sampling lets go of the model it shared.
  const std::weak_ptr<RenderLib::KdTree> tree = sphere.tree;
  {
    BackgroundSampling owner;
    owner.Start(sphere.tree, sphere.soup, 200);
    sampling.Start(sphere.tree, sphere.soup, 200);
    sampling.Cancel();
    EXPECT_FALSE(sampling.UnderWay());
    EXPECT_EQ(sampling.Progress(), -1.0f);
    sphere.tree.reset();
    sphere.soup.reset();
  }
  sampling.WaitForAll();
  EXPECT_TRUE(tree.expired());
}

}  // namespace
