#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/asset_export_command.h"
#include "app/simulation_control.h"
#include "app/status_line.h"
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
  Click(App().simulationPanel, 132, 16);
  EXPECT_NE(StatusText().find("pick a model first"), std::string::npos) << StatusText();

  Pick(1);
  TypeInto(ID_TONS_PER_STEP, "2000");
  PressWeather();
  ASSERT_TRUE(FramesUntil([] { return !SimulationKept(); }));
  const int step = Slider(ID_STEP)->GetValue();
  const std::filesystem::path model = App().models[size_t(App().loadedModel)].file;
  const std::filesystem::path written =
      Environment::maskFolder / (model.stem().string() + "_step" + std::to_string(step) + ".glb");
  std::filesystem::remove(written);
  Click(App().simulationPanel, 132, 16);
  EXPECT_NE(StatusText().find("Exporting step " + std::to_string(step + 1)), std::string::npos) << StatusText();
  ASSERT_TRUE(FramesUntil([] { return !ExportUnderWay(); }));
  EXPECT_TRUE(std::filesystem::exists(written)) << StatusText();
  EXPECT_NE(StatusText().find("Exported step " + std::to_string(step + 1) + " of "), std::string::npos) << StatusText();
  EXPECT_NE(StatusText().find(ShownFolder(written.string())), std::string::npos) << StatusText();
  Pick(0);
}

}  // namespace
