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

// The surface samples are made off the window thread: the window goes on drawing and says how
// far the sampling has got, a run waits for the samples, and only another model cancels them.
class SurfaceResampling : public testing::Test {
protected:
  void SetUp() override {
    if (!HasDisplay()) GTEST_SKIP() << "needs a display";
    ASSERT_TRUE(Environment::started);
    EndRunningSimulation();
    if (App().parametersPanel.GetComboBox(ID_MODEL)->GetSelectedIndex() != 0) Pick(0);
    EnterInto(ID_STEPS, "1");
    EnterInto(ID_TONS_PER_STEP, "2000");
    Frames(1);
  }
  void TearDown() override {
    if (!HasDisplay()) return;
    EndRunningSimulation();
    Pick(0);
    EnterInto(ID_DENSITY, "100");
  }

  // Enters the density and runs frames until its countdown has started the sampling.
  static void EditDensity(const char* density) {
    EnterInto(ID_DENSITY, density);
    ASSERT_TRUE(FramesUntil([] { return App().resampleCountdown == 0.0f; }, 10.0));
    ASSERT_TRUE(ResamplingUnderWay());
  }
};

TEST_F(SurfaceResampling, ADensityEditSamplesWhileFramesGoOnAndTheStatusLineShowsTheShare) {
  Pick(2);  // the bust: at density 300 its sampling takes a while
  // A density entered while another is being sampled cancels that sampling.
  EditDensity("500");
  Frames(3);
  EditDensity("300");
  EXPECT_EQ(App().showSamples, 0);  // the model stays until the points are in
  int framesMeanwhile = 0;
  int last = 0;
  bool shrank = false;
  std::string shown;
  ASSERT_TRUE(FramesUntil([&] {
    if (!ResamplingUnderWay()) return true;
    const int percent = App().resamplingPercent.load();
    ++framesMeanwhile;
    shrank = shrank || percent < last || percent > 100;
    last = percent;
    if (shown.empty() && percent > 0) shown = StatusShown();
    return false;
  }, 60.0));
  EXPECT_GT(framesMeanwhile, 1);
  EXPECT_FALSE(shrank);
  EXPECT_NE(shown.find("Resampling the surface: "), std::string::npos) << shown;
  EXPECT_NE(shown.find("\u00a0%"), std::string::npos) << shown;
  EXPECT_EQ(App().resamplingPercent.load(), -1);
  ASSERT_NE(App().sampleMap, nullptr);
  EXPECT_GT(App().sampleMap->Count(), 100000u);
  EXPECT_EQ(App().showSamples, 1);
  EXPECT_NE(StatusShown().find("Sampled the surface: "), std::string::npos) << StatusShown();
  // The cancelled sampling never replaces them.
  const Simulation::SampleMap* samples = App().sampleMap.get();
  const auto start = std::chrono::steady_clock::now();
  FramesUntil([&] { return std::chrono::steady_clock::now() - start > std::chrono::seconds(1); });
  EXPECT_EQ(App().sampleMap.get(), samples);
  EXPECT_EQ(App().density, 300);
  // The points reach the device a few chunks a frame.
  ASSERT_TRUE(FramesUntil([] { return App().samplePoints.Written() == App().sampleMap->Count(); }, 30.0));
}

// Weather settles a density being typed, and a density entered while the run waits starts the
// sampling over: the run gets the samples of the density shown, and no stale sampling ends it.
TEST_F(SurfaceResampling, ARunWaitsForTheSamplesOfTheDensityShownAndNoStaleSamplingEndsIt) {
  Pick(2);
  TypeInto(ID_DENSITY, "250");
  PressWeather();  // reads the box, whose countdown has not run out
  EXPECT_EQ(WeatherText(), "Stop");
  EXPECT_TRUE(SimulationKept());
  EXPECT_EQ(App().simulationThread, nullptr);
  ASSERT_TRUE(ResamplingUnderWay());
  EXPECT_LE(App().resampleCountdown, 0.0f);
  EnterInto(ID_DENSITY, "60");
  EXPECT_TRUE(ResamplingUnderWay());
  ASSERT_TRUE(FramesUntil([] { return App().simulationThread != nullptr; }, 60.0));
  EXPECT_EQ(App().density, 60);
  EXPECT_EQ(App().simulationParams.density, 60);
  const Simulation::SampleMap* samples = App().sampleMap.get();
  ASSERT_TRUE(FramesUntil([] { return !SimulationKept(); }, 60.0));
  EXPECT_EQ(App().runStepsSaved.load(), 1);
  EXPECT_EQ(App().sampleMap.get(), samples);
  EXPECT_GT(App().runLegs.load(), 0u);
  EXPECT_EQ(WeatherText(), "Weather");
  EXPECT_FALSE(ResamplingUnderWay());
}

TEST_F(SurfaceResampling, StopWhileARunWaitsForItsSamplesDropsTheRunButNotTheSamples) {
  Pick(2);
  EditDensity("250");
  PressWeather();
  ASSERT_EQ(WeatherText(), "Stop");
  PressWeather();
  EXPECT_EQ(WeatherText(), "Weather");
  EXPECT_FALSE(SimulationKept());
  ASSERT_TRUE(FramesUntil([] { return !ResamplingUnderWay(); }, 60.0));
  ASSERT_NE(App().sampleMap, nullptr);
  EXPECT_EQ(App().simulationThread, nullptr);
  EXPECT_EQ(App().showSamples, 1);
}

// Another model cancels the sampling, which lets go of the old model on its own thread; a device
// change keeps both, and the points go onto the new device.
TEST_F(SurfaceResampling, AnotherModelCancelsTheSamplingAndADeviceChangeKeepsIt) {
  Pick(2);
  EditDensity("400");
  const std::weak_ptr<RenderLib::KdTree> oldTree = App().kdTree;
  Pick(1);
  EXPECT_FALSE(ResamplingUnderWay());
  EXPECT_EQ(App().resamplingPercent.load(), -1);
  ASSERT_TRUE(FramesUntil([&] { return oldTree.expired(); }, 60.0));
  Frames(2);
  EXPECT_EQ(App().sampleMap, nullptr);

  EditDensity("200");
  Click(App().devicePanel, 90, 93);  // llvmpipe
  RunPendingDeviceChange();
  Frames(2);
  ASSERT_TRUE(FramesUntil([] { return App().sampleMap != nullptr && App().showSamples == 1; }, 60.0));
  ASSERT_TRUE(FramesUntil([] { return App().samplePoints.Written() == App().sampleMap->Count(); }, 30.0));
  Click(App().devicePanel, 90, 93);
  RunPendingDeviceChange();
  // During a run the points show the samples as they were at its start, on the next device too.
  EnterInto(ID_STEPS, "100");
  EnterInto(ID_TONS_PER_STEP, "200000");
  PressWeather();
  ASSERT_TRUE(App().simulationThread != nullptr);
  Click(App().devicePanel, 90, 93);
  RunPendingDeviceChange();
  EXPECT_EQ(App().samplePoints.Written(), 0u);
  ASSERT_TRUE(FramesUntil([] { return App().samplePoints.Written() == App().sampleMap->Count(); }, 30.0));
  EXPECT_TRUE(SimulationRunning());
  PressWeather();
  ASSERT_TRUE(FramesUntil([] { return !SimulationKept(); }, 60.0));
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
    soup = std::make_shared<RenderLib::TriangleSoup>(*model);
    tree = std::make_shared<RenderLib::KdTree>();
    tree->Build(*soup, 24, 16);
  }
  std::shared_ptr<RenderLib::TriangleSoup> soup;
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
