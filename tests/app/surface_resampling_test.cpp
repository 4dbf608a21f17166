#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "app/background_sampling.h"
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
    Program().Run().End();
    if (Program().Panels().ParametersPanel().GetComboBox(ID_MODEL)->GetSelectedIndex() != 0) Pick(0);
    ClearSessions();
    EnterInto(ID_STEPS, "1");
    EnterInto(ID_TONS_PER_STEP, "2000");
    Frames(1);
  }
  void TearDown() override {
    if (!HasDisplay()) return;
    Program().Run().End();
    Pick(0);
    EnterInto(ID_DENSITY, "100");
  }

  // Enters the density and runs frames until its countdown has started the sampling.
  static void EditDensity(const char* density) {
    EnterInto(ID_DENSITY, density);
    ASSERT_TRUE(FramesUntil([] { return Program().Samples().RequestCountdown() == 0.0f; }, 10.0));
    ASSERT_TRUE(Program().Samples().UnderWay());
  }
};

TEST_F(SurfaceResampling, ADensityEditSamplesWhileFramesGoOnAndTheStatusLineShowsTheShare) {
  Pick(2);  // the bust: at density 300 its sampling takes a while
  // A density entered while another is being sampled cancels that sampling.
  EditDensity("500");
  Frames(3);
  EditDensity("300");
  EXPECT_FALSE(Program().View().ShowsSamples());  // the model stays until the points are in
  int framesMeanwhile = 0;
  int last = 0;
  bool shrank = false;
  std::string shown;
  ASSERT_TRUE(FramesUntil([&] {
    if (!Program().Samples().UnderWay()) return true;
    const int percent = Program().Samples().ResamplingPercent();
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
  EXPECT_EQ(Program().Samples().ResamplingPercent(), -1);
  ASSERT_NE(Program().Samples().Map(), nullptr);
  EXPECT_GT(Program().Samples().Map()->Count(), 100000u);
  EXPECT_TRUE(Program().View().ShowsSamples());
  EXPECT_NE(StatusShown().find("Sampled the surface: "), std::string::npos) << StatusShown();
  // The cancelled sampling never replaces them.
  const Simulation::SampleMap* samples = Program().Samples().Map();
  const auto start = std::chrono::steady_clock::now();
  FramesUntil([&] { return std::chrono::steady_clock::now() - start > std::chrono::seconds(1); });
  EXPECT_EQ(Program().Samples().Map(), samples);
  EXPECT_EQ(Program().Numbers().Density(), 300);
  // The points reach the device a few chunks a frame.
  ASSERT_TRUE(FramesUntil([] { return Program().Samples().Points().Written() == Program().Samples().Map()->Count(); }, 30.0));
}

// Weather settles a density being typed, and a density entered while the run waits starts the
// sampling over: the run gets the samples of the density shown, and no stale sampling ends it.
TEST_F(SurfaceResampling, ARunWaitsForTheSamplesOfTheDensityShownAndNoStaleSamplingEndsIt) {
  Pick(2);
  TypeInto(ID_DENSITY, "250");
  PressWeather();  // reads the box, whose countdown has not run out
  EXPECT_EQ(WeatherText(), "Stop");
  EXPECT_TRUE(Program().Run().Kept());
  EXPECT_FALSE(Program().Run().HasThread());
  ASSERT_TRUE(Program().Samples().UnderWay());
  EXPECT_LE(Program().Samples().RequestCountdown(), 0.0f);
  EnterInto(ID_DENSITY, "60");
  EXPECT_TRUE(Program().Samples().UnderWay());
  ASSERT_TRUE(FramesUntil([] { return Program().Run().HasThread(); }, 60.0));
  EXPECT_EQ(Program().Numbers().Density(), 60);
  EXPECT_EQ(Program().Run().Params().density, 60);
  const Simulation::SampleMap* samples = Program().Samples().Map();
  ASSERT_TRUE(FramesUntil([] { return !Program().Run().Kept(); }, 60.0));
  EXPECT_EQ(Program().Run().StepsSaved(), 1);
  EXPECT_EQ(Program().Samples().Map(), samples);
  EXPECT_GT(Program().Run().Legs(), 0u);
  EXPECT_EQ(WeatherText(), "Weather");
  EXPECT_FALSE(Program().Samples().UnderWay());
}

TEST_F(SurfaceResampling, StopWhileARunWaitsForItsSamplesDropsTheRunButNotTheSamples) {
  Pick(2);
  EditDensity("250");
  PressWeather();
  ASSERT_EQ(WeatherText(), "Stop");
  PressWeather();
  EXPECT_EQ(WeatherText(), "Weather");
  EXPECT_FALSE(Program().Run().Kept());
  ASSERT_TRUE(FramesUntil([] { return !Program().Samples().UnderWay(); }, 60.0));
  ASSERT_NE(Program().Samples().Map(), nullptr);
  EXPECT_FALSE(Program().Run().HasThread());
  EXPECT_TRUE(Program().View().ShowsSamples());
}

// Another model cancels the sampling, which lets go of the old model on its own thread; a device
// change keeps both, and the points go onto the new device.
TEST_F(SurfaceResampling, AnotherModelCancelsTheSamplingAndADeviceChangeKeepsIt) {
  Pick(2);
  EditDensity("400");
  const std::weak_ptr<RenderLib::KdTree> oldTree = Program().Model().KdTree();
  Pick(1);
  EXPECT_FALSE(Program().Samples().UnderWay());
  EXPECT_EQ(Program().Samples().ResamplingPercent(), -1);
  ASSERT_TRUE(FramesUntil([&] { return oldTree.expired(); }, 60.0));
  Frames(2);
  EXPECT_EQ(Program().Samples().Map(), nullptr);

  EditDensity("200");
  Click(Program().Panels().DevicePanel(), 90, 93);  // llvmpipe
  RunPendingDeviceChange();
  Frames(2);
  ASSERT_TRUE(FramesUntil([] { return Program().Samples().Map() != nullptr && Program().View().ShowsSamples(); }, 60.0));
  ASSERT_TRUE(FramesUntil([] { return Program().Samples().Points().Written() == Program().Samples().Map()->Count(); }, 30.0));
  Click(Program().Panels().DevicePanel(), 90, 93);
  RunPendingDeviceChange();
  // During a run the points show the samples as they were at its start, on the next device too.
  EnterInto(ID_STEPS, "100");
  EnterInto(ID_TONS_PER_STEP, "200000");
  PressWeather();
  ASSERT_TRUE(Program().Run().HasThread());
  Click(Program().Panels().DevicePanel(), 90, 93);
  RunPendingDeviceChange();
  EXPECT_EQ(Program().Samples().Points().Written(), 0u);
  ASSERT_TRUE(FramesUntil([] { return Program().Samples().Points().Written() == Program().Samples().Map()->Count(); }, 30.0));
  EXPECT_TRUE(Program().Run().Running());
  PressWeather();
  ASSERT_TRUE(FramesUntil([] { return !Program().Run().Kept(); }, 60.0));
  Click(Program().Panels().DevicePanel(), 90, 93);
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
