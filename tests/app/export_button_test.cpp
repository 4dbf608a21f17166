#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/simulation_control.h"
#include "tests/app/application_driver.h"

using namespace AppDriver;

namespace {

// After a run, the Simulation panel's Export button writes the model aged by the step on the
// slider into the mask folder and says where on the panel; without a model it says to pick one.
TEST(ExportButton, WritesTheStepOnTheSliderIntoTheMaskFolderAndSaysWhere) {
  if (!HasDisplay()) GTEST_SKIP() << "needs a display";
  ASSERT_TRUE(Environment::started);
  EndRunningSimulation();
  if (App().parametersPanel.GetComboBox(ID_MODEL)->GetSelectedIndex() != 0) Pick(0);
  Frames(1);
  auto status = [] { return std::string(App().simulationPanel.GetStatic(ID_PROGRESS)->GetText()); };
  Click(App().simulationPanel, 132, 16);
  EXPECT_NE(status().find("pick a model first"), std::string::npos) << status();

  Pick(1);
  TypeInto(ID_TONS_PER_STEP, "2000");
  PressWeather();
  ASSERT_TRUE(FramesUntil([] { return !SimulationKept(); }));
  ASSERT_EQ(Slider(ID_STEP)->GetValue(), 0);
  const std::filesystem::path model = App().models[size_t(App().loadedModel)].file;
  const std::filesystem::path written = Environment::maskFolder / (model.stem().string() + "_step0.glb");
  std::filesystem::remove(written);
  Click(App().simulationPanel, 132, 16);
  EXPECT_TRUE(std::filesystem::exists(written)) << status();
  EXPECT_EQ(status(), "Exported to " + written.string());
  Pick(0);
}

}  // namespace
