// Runs stopped at random moments, and everything that frees what a run reads happening during a
// run. CI runs a few repeats; tools/run_stress.sh runs many under the sanitizers
// (PATINEX_STRESS_REPEATS).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include "tests/app/application_driver.h"

using namespace AppDriver;

namespace {

int Repeats() {
  const char* text = std::getenv("PATINEX_STRESS_REPEATS");
  const int repeats = text != nullptr ? std::atoi(text) : 0;
  return repeats > 0 ? repeats : 3;
}

// Starts a run long enough that only a stop ends it, and waits until it runs: a run asked for
// while the surface is still being sampled waits for the samples first.
void StartLongRun() {
  EnterInto(ID_STEPS, "100");
  EnterInto(ID_TONS_PER_STEP, "200000");
  PressWeather();
  ASSERT_TRUE(Program().Run().Kept());
  ASSERT_EQ(WeatherText(), "Stop");
  ASSERT_TRUE(FramesUntil([] { return Program().Run().Running(); }, 60.0)) << "the run did not start";
}

TEST(ApplicationStress, RunsStoppedAtRandomMomentsAndFreedUnderfootEndCleanly) {
  if (!HasDisplay()) GTEST_SKIP() << "needs a display";
  ASSERT_TRUE(Environment::started);
  const unsigned seed = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::fprintf(stderr, "stress seed %u, %d repeats\n", seed, Repeats());
  std::mt19937 random(seed);
  Program().Run().End();
  Program().Run().ResetLongestEndWait();
  Pick(1);

  // "Weather", then "Stop" after a random number of frames and a random pause: the stop meets the
  // run while tracing, ageing or baking.
  for (int i = 0; i < Repeats(); ++i) {
    StartLongRun();
    Frames(static_cast<int>(random() % 4));
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 300));
    PressWeather();
    ASSERT_TRUE(FramesUntil([] { return !Program().Run().Kept(); }, 60.0)) << "repeat " << i << ": the stopped run hangs";
    ASSERT_EQ(WeatherText(), "Weather");
  }

  // Picking another model during a run, back and forth.
  for (int i = 0; i < Repeats(); ++i) {
    StartLongRun();
    Frames(1 + static_cast<int>(random() % 3));
    Pick(i % 2 == 0 ? 3 : 1);
    ASSERT_FALSE(Program().Run().Kept());
    ASSERT_EQ(WeatherText(), "Weather");
    ASSERT_TRUE(Program().Model().Soup() != nullptr);
  }

  // A device change (softpipe, and back) during a run: the run goes on, on the model it keeps.
  for (int i = 0; i < Repeats(); ++i) {
    if (!Program().Model().Soup()) Pick(1);
    StartLongRun();
    Frames(1 + static_cast<int>(random() % 3));
    Click(Program().Panels().DevicePanel(), 90, 69);
    RunPendingDeviceChange();
    Frames(2);
    ASSERT_TRUE(Program().Run().Running());
    ASSERT_TRUE(Program().Model().Soup() != nullptr && Program().Model().DeviceMesh() != nullptr);
    Click(Program().Panels().DevicePanel(), 90, 69);
    RunPendingDeviceChange();
    Frames(1 + static_cast<int>(random() % 3));
    PressWeather();
    ASSERT_TRUE(FramesUntil([] { return !Program().Run().Kept(); }, 60.0)) << "repeat " << i << ": the stopped run hangs";
  }
  std::fprintf(stderr, "longest wait for a stopped run: %.3f s\n", Program().Run().LongestEndWait());
  EXPECT_LT(Program().Run().LongestEndWait(), StopWaitLimit());
  if (Program().Panels().ParametersPanel().GetComboBox(ID_MODEL)->GetSelectedIndex() != 0) Pick(0);
}

}  // namespace
